#include "bench/gif_peers.h"

#include <gif_lib.h>
#include <stb/stb_image.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "bench/wuffs_peer.h"

namespace {

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t n = std::min(std::size_t(count), reader->size - reader->at);
    std::memcpy(buffer, reader->data + reader->at, n);
    reader->at += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

const RgbaTable& tableOf(const ColorMapObject* map, RgbaTableCache& cache) {
    const int count = map ? std::min(map->ColorCount, 256) : 0;
    if (!cache.changed(count ? map->Colors : nullptr, std::size_t(count) * sizeof(GifColorType))) return cache.table();
    RgbaTable& table = cache.table();
    table.fill(rgbaWord(0, 0, 0));
    for (int i = 0; i < count; ++i) {
        table[i] = rgbaWord(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    return table;
}

// Lets a C decoder call back into a FrameDone.
struct WuffsFrameContext {
    const FrameDone* done;
    const RgbaCanvas* canvas;
};

void wuffsFrameDone(void* context) {
    const auto* frame = static_cast<const WuffsFrameContext*>(context);
    (*frame->done)(*frame->canvas);
}

}  // namespace

int decodeWithGiflib(const GifFile& file, RgbaCanvas& canvas, const FrameDone& done) {
    MemoryReader reader{file.bytes.data(), file.bytes.size()};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif) throw std::runtime_error(std::string("giflib: ") + GifErrorString(error));
    if (DGifSlurp(gif.get()) != GIF_OK)
        throw std::runtime_error(std::string("giflib: ") + GifErrorString(gif->Error));
    CanvasDisposal disposal;
    disposal.start(canvas);
    RgbaTableCache colours;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& desc = image.ImageDesc;
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif.get(), i, &control);
        disposal.before(canvas, {desc.Left, desc.Top, desc.Width, desc.Height, control.DisposalMode});
        const RgbaTable& table = tableOf(desc.ColorMap ? desc.ColorMap : gif->SColorMap, colours);
        pasteIndicesOver(image.RasterBits, desc.Width, desc.Height, desc.Width, table, desc.Left,
                         desc.Top, control.TransparentColor, canvas);
        if (done) done(canvas);
    }
    return gif->ImageCount;
}

#ifdef QUORVAN_BENCH_WUFFS
bool wuffsAvailable() {
    return true;
}

int decodeWithWuffs(const GifFile& file, RgbaCanvas& canvas, const FrameDone& done) {
    WuffsFrameContext context{&done, &canvas};
    const char* error = nullptr;
    const int frames = wuffsDecodeGif(file.bytes.data(), file.bytes.size(), canvas.rgba.data(),
                                      std::uint32_t(canvas.width), std::uint32_t(canvas.height),
                                      done ? wuffsFrameDone : nullptr, &context, &error);
    if (frames < 0) throw std::runtime_error(std::string("Wuffs: ") + error);
    return frames;
}
#else
bool wuffsAvailable() {
    return false;
}

int decodeWithWuffs(const GifFile&, RgbaCanvas&, const FrameDone&) {
    throw std::runtime_error("built without Wuffs");
}
#endif

int decodeWithStb(const GifFile& file, const FrameDone& done) {
    int width = 0, height = 0, frames = 1, channels = 0;
    int* delays = nullptr;
    const int size = int(file.bytes.size());
    stbi_uc* pixels =
        file.frames.size() > 1
            ? stbi_load_gif_from_memory(file.bytes.data(), size, &delays, &width, &height, &frames,
                                        &channels, 4)
            : stbi_load_from_memory(file.bytes.data(), size, &width, &height, &channels, 4);
    if (!pixels) throw std::runtime_error(std::string("stb_image: ") + stbi_failure_reason());
    if (done) {
        RgbaCanvas canvas;
        canvas.resize(width, height);
        for (int i = 0; i < frames; ++i) {
            std::memcpy(canvas.rgba.data(), pixels + i * canvas.rgba.size(), canvas.rgba.size());
            done(canvas);
        }
    }
    stbi_image_free(delays);
    stbi_image_free(pixels);
    return frames;
}

int decodeWithQt(const GifFile& file, const FrameDone& done) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(file.bytes.data()),
                                               qsizetype(file.bytes.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    int frames = 0;
    QImage image;
    while (reader.read(&image)) {
        ++frames;
        if (!done) continue;
        const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
        RgbaCanvas canvas;
        canvas.resize(rgba.width(), rgba.height());
        for (int y = 0; y < rgba.height(); ++y)
            std::memcpy(canvas.row(y), rgba.constScanLine(y), std::size_t(rgba.width()) * 4);
        done(canvas);
    }
    if (frames == 0) throw std::runtime_error("Qt: " + reader.errorString().toStdString());
    return frames;
}
