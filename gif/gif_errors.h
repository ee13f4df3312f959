#pragma once

#include "toolkit/exception.h"

/// @file
/// The exceptions of the GIF unit (`<Zvqgif.h>`) and of animations
/// (`<Zvqanmtn.h>`). Each carries fixed English text, given by
/// Exception::Message(); the operations that raise one name it and its text
/// in their own documentation.

/// Faults of the LZW code stream of one image.
///
/// Texts: "Unsupported Minimum Code Size - %1" (%1 the size read, outside
/// 1 ... 12), "Unexpected end of input stream" (the code-size byte missing,
/// or the data ending before any bit of its next code), and "Cannot write an
/// image with more than 256 colours as a GIF".
class ELZWError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};

/// Faults of the GIF format, and the decoder's limits.
///
/// Reading: "Not a GIF Image stream", "Unexpected end of input stream",
/// "Illegal block (%1) found in a GIF 87a data stream", "Illegal Graphic
/// control block size", "Block Terminator Expected but none found", "An
/// image block was expected in the GIF stream, but not found", "Unexpected
/// end of image", "Undefined symbol in LZW stream", and the limits' "Image
/// of %1 x %2 pixels is over the limit of %3 pixels", "Frames of %1 pixels
/// in all are over the limit of %2 pixels" and "Image data too short for an
/// image of %1 x %2 pixels" (pixel_limit.h).
///
/// Writing: "Cannot change the GIF type while writing a GIF Stream",
/// "Cannot create a GIF Stream of unknown type", "A %1 block cannot be
/// encoded under GIF 87a", "Unrecognised graphic type", "A Global Palette
/// has not been defined", "Unable to write complete image to stream" and,
/// for sizes or positions past the 16 bits of their fields, "A GIF cannot
/// hold an image of %1 x %2 pixels at (%3, %4)".
class EGIFError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};

/// A frame the frame optimiser cannot write as one image: its changes take
/// more colours than a table holds, with "Cannot write a frame that changes
/// more than 256 colours".
class EGIFFrameColours : public EGIFError {
public:
    /// The error with its fixed text.
    EGIFFrameColours() : EGIFError(QStringLiteral("Cannot write a frame that changes more than 256 colours")) {}
};

/// For handlers of application extensions that want to refuse one; the
/// decoder itself never raises it.
class EGIFAppExtensionUnknown : public Exception {
public:
    /// An error with the handler's text @p message.
    using Exception::Exception;
};

/// Animated image lists and their frames.
///
/// Texts: "Index out of range" and "Load of current image in progress".
class EAnimateError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};
