#pragma once

/// @file
/// The imaging core: device-independent bitmaps, pixel readers and writers,
/// logical palettes with nearest-colour search, the median-cut quantizer and
/// the ditherers.
#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_format.h"
#include "imaging/ditherers.h"
#include "imaging/ext_graphic.h"
#include "imaging/imaging_errors.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_iterators.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"
#include "imaging/quantizer.h"
