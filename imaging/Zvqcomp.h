#pragma once

/// @file
/// The frame of the image codecs: the graphics engine with its compressor and
/// decompressor bases, and the bitmap helpers they use.
#include "imaging/bitmap_helpers.h"
#include "imaging/graphics_engine.h"
