#pragma once

#include "imaging/logical_palette.h"

class TStream;

// A colour table as GIF stores it: `count` red, green, blue triples.
class TGIFPalette : public TLogicalPalette {
public:
    // A short stream raises EGIFError "Unexpected end of input stream".
    TGIFPalette(TStream* stream, int count);
};
