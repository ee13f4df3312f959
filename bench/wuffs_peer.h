#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes every frame of a GIF with Wuffs onto an RGBA canvas (R, G, B, A
// bytes, top row first) of the screen's size, calling `done` (when not null)
// after each frame. Returns the number of frames, or -1 with *error set.
int wuffsDecodeGif(const uint8_t* data, size_t size, uint8_t* canvas, uint32_t width,
                   uint32_t height, void (*done)(void* context), void* context, const char** error);

#ifdef __cplusplus
}
#endif
