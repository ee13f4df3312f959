#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <functional>

#include "toolkit/persistent.h"

enum class TGIFType : std::uint8_t { gt89a, gt87a };

enum class TGIFBlockTypes : std::uint8_t {
    gbTrailer,
    gbImage,
    gbPlainText,
    gbGraphicControl,
    gbAppExtension,
    gbComment,
    gbUnknown
};

// The GIF89a disposal values 0 to 3.
enum class TDisposalMethods : std::uint8_t {
    dmNone,
    dmLeaveInPlace,
    dmRestoreBackground,
    dmRestorePrevious
};

// How one graphic is shown: where on the logical screen, what happens to it
// before the next one, whether it waits for the user, and for how long.
struct TGIFGraphicControlInfo {
    QPoint Origin;
    TDisposalMethods DisposalMethod = TDisposalMethods::dmNone;
    bool UserInput = false;
    std::int32_t DelayTime = 0;  // milliseconds

    bool operator==(const TGIFGraphicControlInfo&) const = default;
};

// What the blocks of one graphic declare, read without decoding it: where
// it lies (an image's rectangle, a plain text's grid), how its pixels are
// stored, and how many bytes of image data follow.
struct TGIFGraphicOutline {
    bool isText = false;
    QRect rect;
    bool interlaced = false;
    int localColours = 0;
    int transparentIndex = -1;
    std::int64_t dataBytes = 0;
};

// An application extension's identifier (up to 8 characters) and
// authentication code (up to 3), as raw bytes.
using TAppID = QByteArray;
using TAuthCode = QByteArray;

using TCommentEvent = std::function<void(TObject* sender, const char* comment)>;
using TAppExtensionEvent = std::function<void(TObject* sender, const TAppID& appId,
                                              const TAuthCode& authCode, const void* data, int count)>;
