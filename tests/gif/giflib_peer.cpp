#include "giflib_peer.h"

#include <gif_lib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace {

constexpr int kPassFirst[] = {0, 4, 2, 1};
constexpr int kPassStep[] = {8, 8, 4, 2};

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPtr = std::unique_ptr<ColorMapObject, MapDeleter>;

MapPtr makeMap(const std::vector<std::uint8_t>& colours) {
    if (colours.empty()) return nullptr;
    const int count = int(colours.size() / 3);
    std::vector<GifColorType> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries[std::size_t(i)] = {colours[std::size_t(3 * i)], colours[std::size_t(3 * i + 1)],
                                   colours[std::size_t(3 * i + 2)]};
    }
    return MapPtr(GifMakeMapObject(count, entries.data()));
}

std::vector<std::uint8_t> triplesOf(const ColorMapObject* map) {
    std::vector<std::uint8_t> out;
    for (int i = 0; map && i < map->ColorCount; ++i) {
        out.push_back(map->Colors[i].Red);
        out.push_back(map->Colors[i].Green);
        out.push_back(map->Colors[i].Blue);
    }
    return out;
}

int appendOutput(GifFileType* gif, const GifByteType* bytes, int count) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

bool putImage(GifFileType* gif, const PeerFile::Image& image) {
    const PeerImage& p = image.picture;
    const MapPtr local = image.localTable ? makeMap(p.colours) : nullptr;
    if (EGifPutImageDesc(gif, p.rect.x(), p.rect.y(), p.rect.width(), p.rect.height(), p.interlaced,
                         local.get()) != GIF_OK) {
        return false;
    }
    const int passes = p.interlaced ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int step = p.interlaced ? kPassStep[pass] : 1;
        for (int row = p.interlaced ? kPassFirst[pass] : 0; row < p.rect.height(); row += step) {
            auto* line = const_cast<GifPixelType*>(p.indices.data()) +
                         std::size_t(row) * std::size_t(p.rect.width());
            if (EGifPutLine(gif, line, p.rect.width()) != GIF_OK) return false;
        }
    }
    return true;
}

}  // namespace

int readGiflibInput(GifFileType* gif, GifByteType* out, int count) {
    auto* input = static_cast<GiflibInput*>(gif->UserData);
    const int n = int(std::min<qsizetype>(count, input->bytes->size() - input->at));
    std::memcpy(out, input->bytes->constData() + input->at, std::size_t(n));
    input->at += n;
    return n;
}

QByteArray encodeWithGiflib(const PeerFile& file) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendOutput, &error);
    if (!gif) return {};
    const MapPtr global = makeMap(file.globalColours);
    const int colourResolution = global ? std::countr_zero(unsigned(global->ColorCount)) : 1;
    bool ok = EGifPutScreenDesc(gif, file.screenWidth, file.screenHeight, colourResolution, 0,
                                global.get()) == GIF_OK;
    for (const PeerFile::Image& image : file.images) ok = ok && putImage(gif, image);
    if (EGifCloseFile(gif, &error) != GIF_OK || !ok) return {};
    return out;
}

std::optional<std::vector<PeerImage>> decodeWithGiflib(const QByteArray& bytes) {
    GiflibInput input{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readGiflibInput, &error);
    if (!gif) return std::nullopt;
    std::optional<std::vector<PeerImage>> images;
    if (DGifSlurp(gif) == GIF_OK) {
        images.emplace();
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& saved = gif->SavedImages[i];
            const GifImageDesc& desc = saved.ImageDesc;
            PeerImage image;
            image.rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
            image.interlaced = desc.Interlace;
            image.colours = triplesOf(desc.ColorMap ? desc.ColorMap : gif->SColorMap);
            image.indices.assign(saved.RasterBits, saved.RasterBits + std::size_t(desc.Width) *
                                                                          std::size_t(desc.Height));
            images->push_back(std::move(image));
        }
    }
    DGifCloseFile(gif, &error);
    return images;
}
