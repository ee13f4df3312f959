#include "bench/gif_encode_peers.h"

#include <gif_lib.h>
#include <omp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "bench/peers.h"
#include "imaging/Zvqgraph.h"

extern char** environ;

namespace {

struct EncoderCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
using GifWriter = std::unique_ptr<GifFileType, EncoderCloser>;

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

void check(int status, GifFileType* gif, const char* what) {
    if (status != GIF_OK) throw std::runtime_error(std::string("giflib: ") + what + ": " + GifErrorString(gif->Error));
}

// giflib wants a power of two of at least 2 entries.
ColourMap colourMapOf(const IndexedFrame& frame) {
    const int count = int(frame.palette.size() / 3);
    int size = 2;
    while (size < count) size *= 2;
    ColourMap map(GifMakeMapObject(size, nullptr));
    for (int i = 0; i < size; ++i) {
        GifColorType& c = map->Colors[i];
        c.Red = i < count ? frame.palette[std::size_t(3 * i)] : 0;
        c.Green = i < count ? frame.palette[std::size_t(3 * i + 1)] : 0;
        c.Blue = i < count ? frame.palette[std::size_t(3 * i + 2)] : 0;
    }
    return map;
}

int appendToVector(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

void putRows(GifFileType* gif, const IndexedFrame& frame) {
    for (int y = 0; y < frame.height; ++y) {
        auto* row = const_cast<GifPixelType*>(frame.indices.data() + std::size_t(y) * std::size_t(frame.width));
        check(EGifPutLine(gif, row, frame.width), gif, "EGifPutLine");
    }
}

void putAnimationBlocks(GifFileType* gif) {
    const GifByteType loop[3] = {1, 0, 0};
    check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), gif, "application extension");
    check(EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0"), gif, "application extension");
    check(EGifPutExtensionBlock(gif, 3, loop), gif, "application extension");
    check(EGifPutExtensionTrailer(gif), gif, "application extension");
}

void putDelay(GifFileType* gif) {
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 4, NO_TRANSPARENT_COLOR};
    GifByteType block[4];
    const size_t length = EGifGCBToExtension(&control, block);
    check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), block), gif, "graphic control extension");
}

std::vector<unsigned char> rgbaOfBmp(const std::string& file, int& width, int& height) {
    const TDeviceIndependentBitmap dib(QString::fromStdString(file));
    width = dib.GetWidth();
    height = std::abs(dib.GetHeight());
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    std::vector<unsigned char> rgba(std::size_t(width) * std::size_t(height) * 4);
    unsigned char* out = rgba.data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* bgr = dib.GetBits() + stride * std::size_t(dib.isTopDown() ? y : height - 1 - y);
        for (int x = 0; x < width; ++x, bgr += 3, out += 4) {
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
            out[3] = 255;
        }
    }
    return rgba;
}

// Runs a program and returns what it printed on standard output.
bool runForOutput(const std::vector<std::string>& argv, std::string& output) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    char buffer[256];
    ssize_t n;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) output.append(buffer, std::size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    if (!spawned || waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double pillow(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/python3", QUORVAN_BENCH_PILLOW_SCRIPT});
    std::string output;
    if (!runForOutput(args, output)) return -1;
    return std::strtod(output.c_str(), nullptr);
}

}  // namespace

long long giflibEncode(const std::vector<IndexedFrame>& frames, std::vector<std::uint8_t>& out) {
    out.clear();
    int error = 0;
    GifWriter gif(EGifOpen(&out, appendToVector, &error));
    if (!gif) throw std::runtime_error(std::string("giflib: ") + GifErrorString(error));
    check(EGifPutScreenDesc(gif.get(), frames.front().width, frames.front().height, 8, 0, nullptr), gif.get(),
          "EGifPutScreenDesc");
    for (const IndexedFrame& frame : frames) {
        const ColourMap map = colourMapOf(frame);
        check(EGifPutImageDesc(gif.get(), 0, 0, frame.width, frame.height, false, map.get()), gif.get(),
              "EGifPutImageDesc");
        putRows(gif.get(), frame);
    }
    gif.reset();
    return (long long)out.size();
}

void writeGifWithGiflib(const std::string& path, const std::vector<IndexedFrame>& frames) {
    int error = 0;
    GifWriter gif(EGifOpenFileName(path.c_str(), false, &error));
    if (!gif) throw std::runtime_error("giflib: " + path + ": " + GifErrorString(error));
    EGifSetGifVersion(gif.get(), true);
    check(EGifPutScreenDesc(gif.get(), frames.front().width, frames.front().height, 8, 0, nullptr), gif.get(),
          "EGifPutScreenDesc");
    const bool animated = frames.size() > 1;
    if (animated) putAnimationBlocks(gif.get());
    for (const IndexedFrame& frame : frames) {
        if (animated) putDelay(gif.get());
        const ColourMap map = colourMapOf(frame);
        check(EGifPutImageDesc(gif.get(), 0, 0, frame.width, frame.height, false, map.get()), gif.get(),
              "EGifPutImageDesc");
        putRows(gif.get(), frame);
    }
}

void libImageQuantToGif(const EncodeSource& source, int speed, const std::string& out) {
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    std::vector<IndexedFrame> frames;
    for (const std::string& file : source.files) {
        int width = 0, height = 0;
        const std::vector<unsigned char> rgba = rgbaOfBmp(file, width, height);
        IndexedImage reduced = libImageQuantDither(rgba, width, height, speed);
        IndexedFrame frame{width, height, std::move(reduced.indices), {}};
        for (unsigned i = 0; i < reduced.palette.count; ++i) {
            const liq_color& c = reduced.palette.entries[i];
            frame.palette.insert(frame.palette.end(), {c.r, c.g, c.b});
        }
        frames.push_back(std::move(frame));
    }
    writeGifWithGiflib(out, frames);
    omp_set_num_threads(threads);
}

bool imageMagickToGif(const EncodeSource& source, bool floydSteinberg, const std::string& out) {
    std::vector<std::string> args{QUORVAN_BENCH_CONVERT, "-limit", "thread", "1"};
    if (source.animated()) args.insert(args.end(), {"-delay", "4", "-loop", "0"});
    args.insert(args.end(), source.files.begin(), source.files.end());
    if (floydSteinberg) args.insert(args.end(), {"-dither", "FloydSteinberg"});
    args.push_back("GIF:" + out);
    return runProcess(args);
}

bool gifsicleRecode(const std::string& in, const std::string& out) {
    return runProcess({"/usr/bin/gifsicle", in, "-o", out});
}

double pillowToGif(const EncodeSource& source, const std::string& out) {
    std::vector<std::string> args{"picture", out};
    args.insert(args.end(), source.files.begin(), source.files.end());
    return pillow(args);
}

double pillowRecode(const std::string& in, const std::string& out) { return pillow({"lzw", out, in}); }
