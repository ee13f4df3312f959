#pragma once

#include "toolkit/exception.h"

// Faults of the LZW code stream of one image.
class ELZWError : public Exception {
public:
    using Exception::Exception;
};

// Faults of the GIF format.
class EGIFError : public Exception {
public:
    using Exception::Exception;
};

// For handlers of application extensions that want to refuse one; the
// decoder itself never raises it.
class EGIFAppExtensionUnknown : public Exception {
public:
    using Exception::Exception;
};

// Animated image lists and their frames.
class EAnimateError : public Exception {
public:
    using Exception::Exception;
};
