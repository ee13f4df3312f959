#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

#include "gif/gif_encoder.h"

class QTextStream;

struct EncodeOptions {
    bool interlace = false;
    bool dither = true;
    bool grayscale = false;
    bool gif87a = false;
    QByteArray comment;
    TGIFPaletteQuality quality = TGIFPaletteQuality::Standard;
};

struct AnimateOptions {
    int delay = 100;  // milliseconds
    std::optional<int> loopCount;
    TDisposalMethods disposal = TDisposalMethods::dmNone;
    std::optional<TColor> transparent;
    TGIFPaletteQuality quality = TGIFPaletteQuality::Standard;
    // Through the frame optimiser, on one palette for the clip or one per
    // picture, dithered where the pictures change.
    bool optimize = true;
    bool sharedPalette = true;
    bool dither = true;
};

// One picture (BMP, PNG, JPEG, anything Qt reads) as a GIF.
void encodePicture(const QString& input, const QString& output, const EncodeOptions& options);
// One frame per picture: the pictures as frames with the disposal and
// transparency given, optimised unless that is turned off.
void animatePictures(const QStringList& inputs, const QString& output, const AnimateOptions& options);
