#include "composed_animation.h"

#include <gif_lib.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>

#include "giflib_peer.h"
#include "gif/Zvqgif.h"
#include "gif/frame_optimizer.h"
#include "gif/screen_composer.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

// A small deterministic generator, the same on every platform.
struct Random {
    unsigned state;
    int below(int n) {
        state = state * 1103515245u + 12345u;
        return int((state >> 8) % unsigned(n));
    }
};

void drawImage(std::vector<std::uint32_t>& screen, int width, int height, const GifFileType* file,
               const SavedImage& image, int transparent) {
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : file->SColorMap;
    for (int y = 0; y < d.Height; ++y) {
        for (int x = 0; x < d.Width; ++x) {
            const int sx = d.Left + x, sy = d.Top + y;
            const int index = image.RasterBits[std::size_t(y) * std::size_t(d.Width) + std::size_t(x)];
            if (sx >= width || sy >= height || index == transparent) continue;
            const GifColorType c = map && index < map->ColorCount ? map->Colors[index] : GifColorType{0, 0, 0};
            screen[std::size_t(sy) * std::size_t(width) + std::size_t(sx)] =
                0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
        }
    }
}

}  // namespace

std::unique_ptr<TDeviceIndependentBitmap> pictureOf(int width, int height, const std::vector<TColor>& colours,
                                                    const std::vector<int>& indices) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt8bit, width, height);
    const TLogicalPalette palette{std::span<const TColor>(colours)};
    dib->SetColourTable(&palette);
    std::unique_ptr<TDIBWriter> writer = dib->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) mapped->SetNextIndex(std::uint8_t(indices[std::size_t(y * width + x)]));
        mapped->NextRow();
    }
    return dib;
}

ShownAnimation joinedStills(ShownAnimation animation) {
    std::vector<ShownFrame> joined;
    for (ShownFrame& frame : animation.frames) {
        if (!joined.empty() && joined.back().pixels == frame.pixels) {
            joined.back().delay += frame.delay;
        } else {
            joined.push_back(std::move(frame));
        }
    }
    animation.frames = std::move(joined);
    return animation;
}

ShownFrame shownFrame(const QImage& image, int delay) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    ShownFrame frame;
    frame.delay = delay;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) frame.pixels.push_back(qAlpha(line[x]) == 0 ? 0u : line[x]);
    }
    return frame;
}

std::optional<ShownAnimation> composeWithGiflib(const QByteArray& gif) {
    GiflibInput input{&gif};
    int error = 0;
    GifFileType* file = DGifOpen(&input, readGiflibInput, &error);
    if (!file) return std::nullopt;
    if (DGifSlurp(file) != GIF_OK) {
        DGifCloseFile(file, &error);
        return std::nullopt;
    }
    ShownAnimation shown{file->SWidth, file->SHeight, {}};
    std::vector<std::uint32_t> screen(std::size_t(shown.width) * std::size_t(shown.height), 0), saved;
    QRect last;
    int lastDisposal = DISPOSAL_UNSPECIFIED;
    const QRect whole(0, 0, shown.width, shown.height);
    for (int i = 0; i < file->ImageCount; ++i) {
        const auto at = [&](int x, int y) -> std::uint32_t& { return screen[std::size_t(y * shown.width + x)]; };
        for (int y = last.top(); y <= last.bottom(); ++y) {
            for (int x = last.left(); x <= last.right(); ++x) {
                if (lastDisposal == DISPOSE_BACKGROUND) at(x, y) = 0;
                if (lastDisposal == DISPOSE_PREVIOUS) at(x, y) = saved[std::size_t(y * shown.width + x)];
            }
        }
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(file, i, &control);
        const GifImageDesc& d = file->SavedImages[i].ImageDesc;
        last = QRect(d.Left, d.Top, d.Width, d.Height).intersected(whole);
        lastDisposal = control.DisposalMode;
        saved = screen;
        drawImage(screen, shown.width, shown.height, file, file->SavedImages[i], control.TransparentColor);
        shown.frames.push_back({screen, control.DelayTime * 10});
    }
    DGifCloseFile(file, &error);
    return shown;
}

QStringList blockOrder(const QByteArray& gif) {
    GiflibInput input{&gif};
    int error = 0;
    GifFileType* file = DGifOpen(&input, readGiflibInput, &error);
    QStringList order;
    if (!file) return order;
    if (DGifSlurp(file) != GIF_OK) {
        DGifCloseFile(file, &error);
        return order;
    }
    const auto extensions = [&](const ExtensionBlock* blocks, int count) {
        for (int i = 0; i < count; ++i) {
            const ExtensionBlock& b = blocks[i];
            if (b.Function == COMMENT_EXT_FUNC_CODE) {
                order << QString::fromLatin1(reinterpret_cast<const char*>(b.Bytes), b.ByteCount);
            } else if (b.Function == CONTINUE_EXT_FUNC_CODE && b.ByteCount == 3 && b.Bytes[0] == 1) {
                order << QString("loop %1").arg(b.Bytes[1] | b.Bytes[2] << 8);
            }
        }
    };
    for (int i = 0; i < file->ImageCount; ++i) {
        extensions(file->SavedImages[i].ExtensionBlocks, file->SavedImages[i].ExtensionBlockCount);
        order << "image";
    }
    extensions(file->ExtensionBlocks, file->ExtensionBlockCount);
    DGifCloseFile(file, &error);
    return order;
}

ShownAnimation composeWithOurDecoder(const QByteArray& gif) {
    TMemoryStream in(gif);
    TZVQ_GIFDecompressor decoder;
    decoder.OpenImageStream(&in);
    ShownAnimation shown{decoder.GetScreenWidth(), decoder.GetScreenHeight(), {}};
    TGIFScreenComposer composer(shown.width, shown.height);
    for (;;) {
        TGIFGraphicControlInfo info;
        const std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info);
        const auto* picture = dynamic_cast<const TDeviceIndependentBitmap*>(graphic.get());
        if (!picture) break;
        composer.add(*picture, info, decoder.lastTransparentIndex());
        shown.frames.push_back({composer.pixels(), info.DelayTime});
    }
    return shown;
}

namespace {

// A picture of the indices at its place, shown for `delay` milliseconds;
// `seeThrough` is the index of its transparent colour, RGB(1, 254, 3), or
// -1 for none.
TestPicture placedPicture(QRect place, const std::vector<TColor>& colours, const std::vector<int>& indices,
                          TDisposalMethods disposal, int delay, int seeThrough) {
    TestPicture picture;
    picture.dib = pictureOf(place.width(), place.height(), colours, indices);
    picture.info.Origin = place.topLeft();
    picture.info.DisposalMethod = disposal;
    picture.info.DelayTime = delay;
    if (seeThrough >= 0) {
        picture.transparentIndex = seeThrough;
        picture.dib->SetTransparent(true);
        picture.dib->SetTransparentColour(RGB(1, 254, 3));
    }
    return picture;
}

}  // namespace

std::vector<TestPicture> testPictures(const AnimationKind& kind) {
    Random random{kind.seed};
    const int paletteSize = kind.manyColours ? 200 : 12;
    std::vector<TColor> shared;
    for (int i = 0; i < paletteSize; ++i) shared.push_back(RGB(random.below(256), random.below(256), random.below(256)));
    // Pictures as (x, y, width, height); the fifth repeats the fourth, the
    // last the third.
    const QRect places[] = {{5, 5, 30, 20}, {0, 0, 10, 8}, {8, 4, 10, 8},  {20, 10, 12, 9},
                            {20, 10, 12, 9}, {30, 22, 10, 8}, {0, 0, 40, 30}, {3, 17, 14, 6},
                            {25, 2, 15, 15}, {12, 12, 6, 6}, {8, 4, 10, 8}};
    std::vector<TestPicture> pictures;
    std::vector<std::vector<int>> contents;
    std::vector<std::vector<TColor>> palettes;
    for (int p = 0; p < 11; ++p) {
        const QRect place = places[p];
        std::vector<TColor> colours = shared;
        if (kind.manyColours) {
            for (TColor& c : colours) c = RGB(random.below(256), random.below(256), random.below(256));
        }
        const bool whole = place.size() == QSize(40, 30);
        const bool seeThrough = kind.transparent && !whole;
        // A colour no other entry has, for the encoder to find.
        if (seeThrough) colours.push_back(RGB(1, 254, 3));
        std::vector<int> indices;
        while (int(indices.size()) < place.width() * place.height()) {
            const int run = 1 + random.below(6);
            const int index = seeThrough && random.below(4) == 0 ? paletteSize : random.below(paletteSize);
            for (int r = 0; r < run; ++r) indices.push_back(index);
        }
        indices.resize(std::size_t(place.width() * place.height()));
        if (p == 4 || p == 10) {
            indices = contents[std::size_t(p == 4 ? 3 : 2)];
            colours = palettes[std::size_t(p == 4 ? 3 : 2)];
        }
        contents.push_back(indices);
        palettes.push_back(colours);
        const int delay = 20 + 10 * random.below(8);
        pictures.push_back(placedPicture(place, colours, indices, kind.disposal, delay, seeThrough ? paletteSize : -1));
    }
    return pictures;
}

namespace {

// The p-th picture of a large clip: shown for 10 hundredths, every other
// one put back as it was under it.
TestPicture largePicture(const std::vector<TColor>& colours, const std::vector<int>& indices, int p) {
    TestPicture picture;
    picture.dib = pictureOf(kLargeWidth, kLargeHeight, colours, indices);
    picture.info.DelayTime = 10;
    picture.info.DisposalMethod = p % 2 ? TDisposalMethods::dmRestorePrevious : TDisposalMethods::dmNone;
    return picture;
}

}  // namespace

std::vector<TestPicture> largeTestPictures(unsigned seed) {
    Random random{seed};
    std::vector<TestPicture> pictures;
    std::vector<int> indices(std::size_t(kLargeWidth * kLargeHeight));
    std::vector<TColor> colours;
    for (int p = 0; p < 12; ++p) {
        const int count = p == 7 ? 20 : 200;
        // Every third picture repeats all but a band of the one before.
        const bool repeat = p % 3 == 2 && count == int(colours.size());
        if (!repeat) {
            colours.clear();
            for (int i = 0; i < count; ++i) colours.push_back(RGB(random.below(256), random.below(256), random.below(256)));
        }
        const int band = repeat ? 40 * (p / 3) : 0;
        for (std::size_t i = 0; i < indices.size();) {
            const int y = int(i) / kLargeWidth;
            const int run = 1 + random.below(5);
            const int index = random.below(count);
            for (int r = 0; r < run && i < indices.size(); ++r, ++i) {
                if (!repeat || (y >= band && y < band + 30)) indices[i] = index;
            }
        }
        pictures.push_back(largePicture(colours, indices, p));
    }
    return pictures;
}

std::vector<TestPicture> patternedTestPictures(unsigned seed) {
    Random random{seed};
    std::vector<TColor> colours;
    for (int i = 0; i < 100; ++i) colours.push_back(RGB(random.below(256), random.below(256), random.below(256)));
    std::vector<int> pattern(1200);
    for (int& index : pattern) index = random.below(100);
    std::vector<TestPicture> pictures;
    std::vector<int> indices(std::size_t(kLargeWidth * kLargeHeight));
    for (int p = 0; p < 4; ++p) {
        for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = pattern[(i + std::size_t(7 * p)) % pattern.size()];
        pictures.push_back(largePicture(colours, indices, p));
    }
    return pictures;
}

std::vector<TestPicture> crowdedTestPictures(unsigned seed) {
    Random random{seed};
    std::vector<TestPicture> pictures;
    for (int p = 0; p < 5; ++p) {
        // One draw after another: the order of arguments is not fixed.
        const int width = 4 + random.below(20);
        const int height = 4 + random.below(20);
        const int x = random.below(24 - width + 1);
        const int y = random.below(24 - height + 1);
        const QRect place = p == 0 ? QRect(0, 0, 24, 24) : QRect(x, y, width, height);
        const int count = 200 + random.below(56);
        const bool seeThrough = random.below(2) == 1 && count < 256;
        std::vector<TColor> colours;
        for (int i = 0; i < count; ++i) colours.push_back(RGB(random.below(256), random.below(256), random.below(256)));
        if (seeThrough) colours.push_back(RGB(1, 254, 3));
        std::vector<int> indices;
        for (int i = 0; i < place.width() * place.height(); ++i) {
            indices.push_back(seeThrough && random.below(3) == 0 ? count : random.below(count));
        }
        const auto disposal = TDisposalMethods(random.below(4));
        pictures.push_back(placedPicture(place, colours, indices, disposal, 10, seeThrough ? count : -1));
    }
    return pictures;
}

QByteArray plainFile(const std::vector<TestPicture>& pictures, int width, int height) {
    TMemoryStream out;
    {
        TZVQ_GIFCompressor encoder;
        encoder.GetGlobalFrame()->UseGlobalFrame = true;
        encoder.GetGlobalFrame()->Width = width;
        encoder.GetGlobalFrame()->Height = height;
        encoder.OpenImageStream(&out);
        encoder.WriteLoopControl(0);
        for (const TestPicture& picture : pictures) encoder.WriteGIFGraphic(picture.dib.get(), picture.info);
        encoder.CloseImageStream();
    }
    return out.bytes();
}

QByteArray optimized(const QByteArray& gif, int threads) {
    TMemoryStream in(gif);
    const std::unique_ptr<TGIFFrameOptimizer> optimizer = TGIFFrameOptimizer::CreateFromStream(&in);
    optimizer->setThreadCount(threads);
    TMemoryStream out;
    optimizer->write(&out);
    return out.bytes();
}

std::vector<NamedGif> gifFilesIn(const QString& folder) {
    const QDir dir(folder);
    std::vector<NamedGif> files;
    for (const QString& name : dir.entryList({"*.gif"}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        files.push_back({name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()});
    }
    return files;
}

std::vector<NamedGif> otherEncodersFiles() { return gifFilesIn(QStringLiteral(QUORVAN_SOURCE_DIR "/tests/gif/foreign")); }
