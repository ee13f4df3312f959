#pragma once

#include <memory>

class TDitherer;
class TDIBMappedWriter;
class TLogicalPalette;

// A ditherer class reference: makes a new ditherer of one class for a writer
// and its palette. `ditherClassOf<TFSDitherer>()` names one (ditherers.h).
using TDithererClass = std::unique_ptr<TDitherer> (*)(TDIBMappedWriter* writer,
                                                      TLogicalPalette* palette);
