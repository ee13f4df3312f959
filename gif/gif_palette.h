#pragma once

#include "imaging/logical_palette.h"

class TStream;

/// @file
/// GIF colour tables.

/// A colour table as GIF stores it: `count` red, green, blue triples.
class TGIFPalette : public TLogicalPalette {
public:
    /// Reads @p count entries from the stream's position.
    /// A short stream raises EGIFError "Unexpected end of input stream".
    TGIFPalette(TStream* stream, int count);
};
