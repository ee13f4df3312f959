#pragma once

#include "toolkit/exception.h"

/// @file
/// The exceptions of the imaging core (`<Zvqgraph.h>`). Each carries fixed
/// English text, given by Exception::Message(); the operations that raise
/// one name it and its text in their own documentation.

/// Bitmap blocks, BMP streams, colour tables and the clipboard.
///
/// Texts: "Invalid DIB Header" (a BMP stream or block that is not one),
/// "Error writing to output stream", "Unable to change DIB Colour Table",
/// "Cannot obtain a Device Independent Bitmap" and
/// "Clipboard does not contain a DIB!".
class EDIBError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};

/// Pixel readers and writers.
///
/// Texts: "Cannot read this type of DIB", "Cannot write to this type of
/// DIB", "Not a paletted DIB", "Invalid scan order", "Invalid Clipping
/// rectangle", "Cannot copy DIBs with different numbers of rows" and
/// "Cannot Set a Row from a DIB with a different number of coloums" (sic).
class EScanError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};

/// Palette entries. Text: "Invalid palette index (N)", N the index asked
/// for outside a TLogicalPalette's entries.
class ELogPalError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};

/// The median-cut quantizer (TQuantizedPalette).
///
/// Texts: "Too Few Colours Required", "Too Many Colours Required" and
/// "Unable to find Colour in Red Plane" (or Green, or Blue).
class EQuantError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};
