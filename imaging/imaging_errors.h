#pragma once

#include "toolkit/exception.h"

// Bitmap blocks, BMP streams, colour tables and the clipboard.
class EDIBError : public Exception {
public:
    using Exception::Exception;
};

// Pixel readers and writers.
class EScanError : public Exception {
public:
    using Exception::Exception;
};

// Palette entries.
class ELogPalError : public Exception {
public:
    using Exception::Exception;
};

// The median-cut quantizer.
class EQuantError : public Exception {
public:
    using Exception::Exception;
};
