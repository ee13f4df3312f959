#include "bench/pictures.h"

#include <filesystem>
#include <map>
#include <memory>

#include "imaging/Zvqgraph.h"

namespace {

std::string& directory() {
    static std::string dir = QUORVAN_BENCH_PICTURES;
    return dir;
}

}  // namespace

void setPictureDirectory(const std::string& dir) { directory() = dir; }

std::string pictureDirectory() { return directory(); }

std::string picturePath(const PictureSize& size) { return directory() + "/photo-" + size.name() + ".bmp"; }

std::string outputPath(const PictureSize& size, const std::string& what) {
    const std::filesystem::path folder = std::filesystem::path(directory()) / "out";
    std::filesystem::create_directories(folder);
    return (folder / (what + "-" + size.name() + ".bmp")).string();
}

bool picturesPresent() {
    for (const PictureSize& size : kPictureSizes) {
        if (!std::filesystem::exists(picturePath(size))) return false;
    }
    return true;
}

TDeviceIndependentBitmap& picture(const PictureSize& size) {
    static std::map<std::string, std::unique_ptr<TDeviceIndependentBitmap>> loaded;
    std::unique_ptr<TDeviceIndependentBitmap>& slot = loaded[size.name()];
    if (!slot) slot = std::make_unique<TDeviceIndependentBitmap>(QString::fromStdString(picturePath(size)));
    return *slot;
}
