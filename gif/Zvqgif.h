#pragma once

/// @file
/// GIF: the LZW coder, the decoder, the encoder, the GIF picture and the plain
/// text graphic. Including this header registers GIF with the picture class.
#include "gif/gif_bitmap.h"
#include "gif/gif_decoder.h"
#include "gif/gif_encoder.h"
#include "gif/gif_errors.h"
#include "gif/gif_palette.h"
#include "gif/gif_types.h"
#include "gif/lzw_compressor.h"
#include "gif/lzw_decompressor.h"
#include "gif/plain_text.h"
