#pragma once

#include <memory>

class TDitherer;
class TDIBMappedWriter;
class TLogicalPalette;

/// @file
/// Ditherer class references.

/// A ditherer class reference: makes a new ditherer of one class for a writer
/// and its palette. `ditherClassOf<TFSDitherer>()` names one (ditherers.h).
/// The ditherer is the caller's; it borrows the writer and the palette.
using TDithererClass = std::unique_ptr<TDitherer> (*)(TDIBMappedWriter* writer,
                                                      TLogicalPalette* palette);
