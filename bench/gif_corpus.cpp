#include "bench/gif_corpus.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "bench/pictures.h"

namespace {

class BlockWalker {
public:
    explicit BlockWalker(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    std::uint8_t byte() {
        need(1);
        return bytes_[pos_++];
    }
    int word() {
        const int low = byte();
        return low | byte() << 8;
    }
    void skip(std::int64_t count) {
        need(count);
        pos_ += count;
    }
    void skipColourTable(std::uint8_t packed) {
        if (packed & 0x80) skip(3 << ((packed & 7) + 1));
    }
    void skipSubBlocks() {
        while (const std::uint8_t count = byte()) skip(count);
    }
    std::int64_t position() const { return pos_; }

private:
    void need(std::int64_t count) const {
        if (pos_ + count > std::ssize(bytes_)) throw std::runtime_error("GIF file cut short");
    }

    const std::vector<std::uint8_t>& bytes_;
    std::int64_t pos_ = 0;
};

// Reads the screen's size and finds every image's data.
void walkBlocks(GifFile& file) {
    BlockWalker walker(file.bytes);
    walker.skip(6);
    file.width = walker.word();
    file.height = walker.word();
    const std::uint8_t packed = walker.byte();
    walker.skip(2);
    walker.skipColourTable(packed);
    for (;;) {
        switch (walker.byte()) {
            case 0x3B:
                return;
            case 0x21:
                walker.skip(1);
                walker.skipSubBlocks();
                break;
            case 0x2C: {
                walker.skip(4);
                GifFrameData frame;
                frame.width = walker.word();
                frame.height = walker.word();
                walker.skipColourTable(walker.byte());
                frame.offset = walker.position();
                walker.skip(1);
                walker.skipSubBlocks();
                file.frames.push_back(frame);
                break;
            }
            default:
                throw std::runtime_error("unknown GIF block in " + file.name);
        }
    }
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

GifFile gifFileOf(const std::string& name, std::vector<std::uint8_t> bytes) {
    GifFile file{name, std::move(bytes), 0, 0, {}};
    walkBlocks(file);
    return file;
}

std::vector<std::string> gifPictureNames() {
    std::vector<std::string> names;
    for (const char* kind : {"photo", "screen", "gradient", "noise"}) {
        for (const PictureSize& size : kPictureSizes)
            names.push_back(std::string(kind) + "-" + size.name());
    }
    for (const char* name : {"animation-480x270", "animation-480x270-O3", "terminal-640x400", "terminal-640x400-O3"}) {
        names.push_back(name);
    }
    return names;
}

const std::vector<GifFile>& gifCorpus() {
    static const std::vector<GifFile> corpus = [] {
        std::vector<GifFile> files;
        for (const std::string& name : gifPictureNames()) {
            const std::string path = pictureDirectory() + "/" + name + ".gif";
            if (!std::filesystem::exists(path)) continue;
            files.push_back(gifFileOf(name, readFile(path)));
        }
        return files;
    }();
    return corpus;
}
