#include "bench/gif_encode_pictures.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>

#include "bench/gif_canvas.h"
#include "bench/gif_peers.h"
#include "bench/pictures.h"
#include "imaging/Zvqgraph.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> animationFrames(const fs::path& folder) {
    std::vector<std::string> files;
    if (!fs::is_directory(folder)) return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void addSource(std::vector<EncodeSource>& sources, const std::string& name, std::vector<std::string> files) {
    if (files.empty() || !fs::exists(files.front())) return;
    const TDeviceIndependentBitmap first(QString::fromStdString(files.front()));
    sources.push_back({name, std::move(files), first.GetWidth(), std::abs(first.GetHeight())});
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

std::unique_ptr<GifFileType, GifCloser> slurp(const std::string& path) {
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpenFileName(path.c_str(), &error));
    if (!gif) throw std::runtime_error("giflib: " + path + ": " + GifErrorString(error));
    if (DGifSlurp(gif.get()) != GIF_OK) throw std::runtime_error("giflib: " + path + ": " + GifErrorString(gif->Error));
    return gif;
}

}  // namespace

const std::vector<EncodeSource>& encodeSources() {
    static const std::vector<EncodeSource> sources = [] {
        std::vector<EncodeSource> found;
        for (const char* kind : {"photo", "screen"}) {
            for (const PictureSize& size : kPictureSizes) {
                const std::string name = std::string(kind) + "-" + size.name();
                addSource(found, name, {pictureDirectory() + "/" + name + ".bmp"});
            }
        }
        addSource(found, "animation-480x270", animationFrames(fs::path(pictureDirectory()) / "animation-480x270"));
        return found;
    }();
    return sources;
}

const std::vector<RgbImage>& sourceFrames(const EncodeSource& source) {
    static std::map<std::string, std::vector<RgbImage>> loaded;
    std::vector<RgbImage>& frames = loaded[source.name];
    if (frames.empty()) {
        for (const std::string& file : source.files) {
            TDeviceIndependentBitmap dib(QString::fromStdString(file));
            frames.push_back(rgbOf(dib));
        }
    }
    return frames;
}

const std::vector<IndexedFrame>& indexedFrames(const GifFile& file) {
    static std::map<std::string, std::vector<IndexedFrame>> decoded;
    std::vector<IndexedFrame>& frames = decoded[file.name];
    if (!frames.empty()) return frames;
    const auto gif = slurp(pictureDirectory() + "/" + file.name + ".gif");
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        IndexedFrame frame{image.ImageDesc.Width, image.ImageDesc.Height, {}, {}};
        frame.indices.assign(image.RasterBits, image.RasterBits + std::size_t(frame.width) * std::size_t(frame.height));
        for (int c = 0; c < map->ColorCount; ++c)
            frame.palette.insert(frame.palette.end(), {map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue});
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<RgbImage> decodeGifFile(const std::string& path) {
    const GifFile file = gifFileOf(path, fileBytes(path));
    RgbaCanvas canvas;
    canvas.resize(file.width, file.height);
    std::vector<RgbImage> frames;
    decodeWithGiflib(file, canvas, [&frames](const RgbaCanvas& drawn) {
        RgbImage frame{drawn.width, drawn.height, {}};
        frame.rgb.reserve(drawn.rgba.size() / 4 * 3);
        for (std::size_t i = 0; i < drawn.rgba.size(); i += 4)
            frame.rgb.insert(frame.rgb.end(), {drawn.rgba[i], drawn.rgba[i + 1], drawn.rgba[i + 2]});
        frames.push_back(std::move(frame));
    });
    return frames;
}

long long imageDataBytes(const std::vector<std::uint8_t>& bytes) {
    const GifFile file = gifFileOf("encoded", bytes);
    long long total = 0;
    for (const GifFrameData& frame : file.frames) {
        std::size_t at = std::size_t(frame.offset) + 1;  // past the code-size byte
        while (at < bytes.size() && bytes[at] != 0) at += bytes[at] + 1u;
        total += (long long)(at + 1 - std::size_t(frame.offset));
    }
    return total;
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string encodeOutputPath(const std::string& tool, const std::string& picture) {
    const fs::path folder = fs::path(pictureDirectory()) / "out";
    fs::create_directories(folder);
    return (folder / ("encode-" + tool + "-" + picture + ".gif")).string();
}
