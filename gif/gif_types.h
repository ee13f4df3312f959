#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <functional>

#include "toolkit/persistent.h"

/// @file
/// The types GIF readers and writers share: versions, blocks, graphic
/// control data, graphic outlines and the extension events.

/// The version of a GIF stream: 89a, or 87a (no extension blocks).
enum class TGIFType : std::uint8_t { gt89a, gt87a };

/// The kinds of block a GIF stream holds, as the decoder meets them.
enum class TGIFBlockTypes : std::uint8_t {
    gbTrailer,
    gbImage,
    gbPlainText,
    gbGraphicControl,
    gbAppExtension,
    gbComment,
    gbUnknown
};

/// The GIF89a disposal values 0 to 3: nothing said, leave the graphic in
/// place, restore the background, restore what was there before.
enum class TDisposalMethods : std::uint8_t {
    dmNone,
    dmLeaveInPlace,
    dmRestoreBackground,
    dmRestorePrevious
};

/// How one graphic is shown: where on the logical screen, what happens to it
/// before the next one, whether it waits for the user, and for how long.
struct TGIFGraphicControlInfo {
    QPoint Origin;  ///< the graphic's top-left corner on the logical screen
    TDisposalMethods DisposalMethod = TDisposalMethods::dmNone;  ///< before the next graphic
    bool UserInput = false;      ///< the graphic waits for the user
    std::int32_t DelayTime = 0;  ///< milliseconds (GIF stores hundredths of a second)

    /// Equal in every field.
    bool operator==(const TGIFGraphicControlInfo&) const = default;
};

/// What the blocks of one graphic declare, read without decoding it: where
/// it lies (an image's rectangle, a plain text's grid), how its pixels are
/// stored, and how many bytes of image data follow.
struct TGIFGraphicOutline {
    bool isText = false;         ///< a plain text block, not an image
    QRect rect;                  ///< on the logical screen, as declared
    bool interlaced = false;     ///< the image's rows come interlaced
    int localColours = 0;        ///< entries of its own colour table; 0 without one
    int transparentIndex = -1;   ///< in force for it; -1 for none
    std::int64_t dataBytes = 0;  ///< of LZW data, sub-block counts left out
};

///@{
/// An application extension's identifier (up to 8 characters) and
/// authentication code (up to 3), as raw bytes.
using TAppID = QByteArray;
using TAuthCode = QByteArray;
///@}

/// A comment block, its text up to the first zero byte; valid during the call.
using TCommentEvent = std::function<void(TObject* sender, const char* comment)>;
/// An application extension other than the looping one: its identifier,
/// code, and the @p count bytes of its data, valid during the call.
using TAppExtensionEvent = std::function<void(TObject* sender, const TAppID& appId,
                                              const TAuthCode& authCode, const void* data, int count)>;
