// Wuffs's GIF decoder, built into the benchmark alone with its flags.
#include "bench/wuffs_peer.h"

#include <stdlib.h>
#include <string.h>

#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#define WUFFS_CONFIG__MODULE__LZW
#include "wuffs-v0.4.c"

// The canvas's rows of a rectangle, copied out of it (save) or back (!save).
static void copyRect(uint8_t* canvas, uint32_t width, wuffs_base__rect_ie_u32 rect, uint8_t* kept,
                     int save) {
    const size_t bytes = (size_t)(rect.max_excl_x - rect.min_incl_x) * 4;
    for (uint32_t y = rect.min_incl_y; y < rect.max_excl_y; ++y) {
        uint8_t* row = canvas + ((size_t)y * width + rect.min_incl_x) * 4;
        uint8_t* at = kept + (size_t)(y - rect.min_incl_y) * bytes;
        if (save) {
            memcpy(at, row, bytes);
        } else {
            memcpy(row, at, bytes);
        }
    }
}

// Frames drawn over the canvas (transparent pixels leave it), with each
// frame's disposal carried out before the next, as the other decoders do.
static int decodeFrames(wuffs_gif__decoder* decoder, wuffs_base__io_buffer* src,
                        wuffs_base__pixel_buffer* pixels, uint8_t* canvas, uint32_t width, uint32_t height,
                        wuffs_base__slice_u8 workbuf, void (*done)(void*), void* context,
                        const char** error) {
    int frames = 0;
    wuffs_base__rect_ie_u32 last = {0};
    uint8_t lastDisposal = WUFFS_BASE__ANIMATION_DISPOSAL__NONE;
    uint8_t* under = NULL;
    for (;;) {
        wuffs_base__frame_config frame = {0};
        wuffs_base__status status = wuffs_gif__decoder__decode_frame_config(decoder, &frame, src);
        if (status.repr == wuffs_base__note__end_of_data) break;
        if (!wuffs_base__status__is_ok(&status)) {
            *error = wuffs_base__status__message(&status);
            frames = -1;
            break;
        }
        if (lastDisposal == WUFFS_BASE__ANIMATION_DISPOSAL__RESTORE_BACKGROUND) {
            for (uint32_t y = last.min_incl_y; y < last.max_excl_y; ++y)
                memset(canvas + ((size_t)y * width + last.min_incl_x) * 4, 0,
                       (size_t)(last.max_excl_x - last.min_incl_x) * 4);
        } else if (lastDisposal == WUFFS_BASE__ANIMATION_DISPOSAL__RESTORE_PREVIOUS && under) {
            copyRect(canvas, width, last, under, 0);
        }
        free(under);
        under = NULL;
        // A frame may reach past the screen: only the canvas's part counts.
        const wuffs_base__rect_ie_u32 bounds = wuffs_base__frame_config__bounds(&frame);
        last = wuffs_base__rect_ie_u32__intersect(&bounds, wuffs_base__make_rect_ie_u32(0, 0, width, height));
        lastDisposal = wuffs_base__frame_config__disposal(&frame);
        if (lastDisposal == WUFFS_BASE__ANIMATION_DISPOSAL__RESTORE_PREVIOUS) {
            under = malloc((size_t)(last.max_excl_x - last.min_incl_x) * (last.max_excl_y - last.min_incl_y) * 4 + 1);
            if (under) copyRect(canvas, width, last, under, 1);
        }
        status = wuffs_gif__decoder__decode_frame(decoder, pixels, src,
                                                  WUFFS_BASE__PIXEL_BLEND__SRC_OVER, workbuf, NULL);
        if (!wuffs_base__status__is_ok(&status)) {
            *error = wuffs_base__status__message(&status);
            frames = -1;
            break;
        }
        ++frames;
        if (done) done(context);
    }
    free(under);
    return frames;
}

int wuffsDecodeGif(const uint8_t* data, size_t size, uint8_t* canvas, uint32_t width,
                   uint32_t height, void (*done)(void* context), void* context,
                   const char** error) {
    wuffs_gif__decoder* decoder = wuffs_gif__decoder__alloc();
    if (!decoder) {
        *error = "out of memory";
        return -1;
    }
    // The reader only reads: the cast is safe.
    wuffs_base__io_buffer src = wuffs_base__ptr_u8__reader((uint8_t*)data, size, true);
    wuffs_base__image_config config = {0};
    wuffs_base__status status = wuffs_gif__decoder__decode_image_config(decoder, &config, &src);
    int frames = -1;
    uint8_t* workbuf = NULL;
    if (!wuffs_base__status__is_ok(&status)) {
        *error = wuffs_base__status__message(&status);
    } else if (wuffs_base__pixel_config__width(&config.pixcfg) != width ||
               wuffs_base__pixel_config__height(&config.pixcfg) != height) {
        *error = "screen size differs from the canvas";
    } else {
        wuffs_base__pixel_config__set(&config.pixcfg, WUFFS_BASE__PIXEL_FORMAT__RGBA_NONPREMUL,
                                      WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, width, height);
        wuffs_base__pixel_buffer pixels;
        status = wuffs_base__pixel_buffer__set_from_slice(
            &pixels, &config.pixcfg, wuffs_base__make_slice_u8(canvas, (size_t)width * height * 4));
        const uint64_t workbufLength = wuffs_gif__decoder__workbuf_len(decoder).max_incl;
        workbuf = workbufLength ? malloc(workbufLength) : NULL;
        if (!wuffs_base__status__is_ok(&status)) {
            *error = wuffs_base__status__message(&status);
        } else if (workbufLength && !workbuf) {
            *error = "out of memory";
        } else {
            memset(canvas, 0, (size_t)width * height * 4);
            frames = decodeFrames(decoder, &src, &pixels, canvas, width, height,
                                  wuffs_base__make_slice_u8(workbuf, workbufLength), done, context,
                                  error);
        }
    }
    free(workbuf);
    free(decoder);
    return frames;
}
