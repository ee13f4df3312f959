// Wuffs's GIF decoder, built into the benchmark alone with its flags.
#include "bench/wuffs_peer.h"

#include <stdlib.h>

#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#define WUFFS_CONFIG__MODULE__LZW
#include "wuffs-v0.4.c"

static int decodeFrames(wuffs_gif__decoder* decoder, wuffs_base__io_buffer* src,
                        wuffs_base__pixel_buffer* pixels, wuffs_base__slice_u8 workbuf,
                        void (*done)(void*), void* context, const char** error) {
    int frames = 0;
    for (;;) {
        wuffs_base__frame_config frame = {0};
        wuffs_base__status status = wuffs_gif__decoder__decode_frame_config(decoder, &frame, src);
        if (status.repr == wuffs_base__note__end_of_data) return frames;
        if (!wuffs_base__status__is_ok(&status)) {
            *error = wuffs_base__status__message(&status);
            return -1;
        }
        status = wuffs_gif__decoder__decode_frame(decoder, pixels, src,
                                                  WUFFS_BASE__PIXEL_BLEND__SRC, workbuf, NULL);
        if (!wuffs_base__status__is_ok(&status)) {
            *error = wuffs_base__status__message(&status);
            return -1;
        }
        ++frames;
        if (done) done(context);
    }
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
            frames = decodeFrames(decoder, &src, &pixels,
                                  wuffs_base__make_slice_u8(workbuf, workbufLength), done, context,
                                  error);
        }
    }
    free(workbuf);
    free(decoder);
    return frames;
}
