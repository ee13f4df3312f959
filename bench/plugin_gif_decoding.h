#pragma once

#include "bench/gif_canvas.h"
#include "bench/gif_corpus.h"

// Every frame of a GIF read through an image-format plugin's handler, as
// QImageReader reads it: `ours` picks our plugin from the build, else Qt's
// own GIF plugin. The handler is made by the plugin itself, so that both
// are measured the same way in one process. Throws std::runtime_error when
// the plugin cannot be loaded or reads no frame.
int decodeWithPlugin(const GifFile& file, bool ours, const FrameDone& done = {});
