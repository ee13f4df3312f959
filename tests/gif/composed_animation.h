#pragma once

// Animations for checking the frame optimiser: test animations written as
// plain files, and the frames a file shows as giflib reads it, composed
// here by the GIF rules independently of the library's own composer.
#include <QByteArray>
#include <QImage>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "gif/gif_types.h"
#include "imaging/device_independent_bitmap.h"

// One screen as shown: 0xAARRGGBB words (0 where nothing shows), and for
// how long, in milliseconds.
struct ShownFrame {
    std::vector<std::uint32_t> pixels;
    int delay = 0;
    bool operator==(const ShownFrame&) const = default;
};

struct ShownAnimation {
    int width = 0;
    int height = 0;
    std::vector<ShownFrame> frames;
};

// Frames that follow a frame the same are joined into it, their delays
// added: what a viewer sees over time.
ShownAnimation joinedStills(ShownAnimation animation);
// The screen a reader gave, fully transparent pixels as 0.
ShownFrame shownFrame(const QImage& image, int delay);

// The file as giflib reads it, composed: the screen starts transparent,
// each image's transparent index leaves what is under it, and its disposal
// is carried out before the next image; nothing when giflib refuses it.
std::optional<ShownAnimation> composeWithGiflib(const QByteArray& gif);

// The same through our decoder and the library's screen composer.
ShownAnimation composeWithOurDecoder(const QByteArray& gif);

// The file's comments, looping extensions ("loop N") and images ("image")
// in the order giflib finds them; empty when giflib refuses the file.
QStringList blockOrder(const QByteArray& gif);

struct TestPicture {
    std::unique_ptr<TDeviceIndependentBitmap> dib;
    TGIFGraphicControlInfo info;
    int transparentIndex = -1;
};

// An 8-bit picture of the colours at the indices, rows top-down.
std::unique_ptr<TDeviceIndependentBitmap> pictureOf(int width, int height, const std::vector<TColor>& colours,
                                                    const std::vector<int>& indices);

// What the test animations vary.
struct AnimationKind {
    TDisposalMethods disposal = TDisposalMethods::dmNone;
    bool transparent = false;     // pictures have see-through pixels
    bool manyColours = false;     // each picture its own 200 colours: over 256 in all
    unsigned seed = 1;
};

// Eleven pictures on a 40 x 30 screen: a first one smaller than the
// screen, patches at moving places, one picture repeating the one before,
// one covering the whole screen with new pixels, and a last one the same
// as a frame well before it.
std::vector<TestPicture> testPictures(const AnimationKind& kind);
// Twelve pictures covering a screen of kLargeWidth x kLargeHeight, large
// enough to be handed to the optimiser's other threads: most of them with
// 200 colours of their own, one with 20, and every third one repeating
// the one before but for a band.
constexpr int kLargeWidth = 220;
constexpr int kLargeHeight = 180;
std::vector<TestPicture> largeTestPictures(unsigned seed);
// Four pictures of kLargeWidth x kLargeHeight, each a run of 1200 random
// indices of 100 colours over and over, shifted by a few pixels from one
// picture to the next: LZW dictionaries fill and stay worth keeping full.
std::vector<TestPicture> patternedTestPictures(unsigned seed);
// Five pictures of 200 to 255 colours each, some see-through, at places
// and with disposals drawn by the seed, on a 24 x 24 screen: frames whose
// colours may crowd one another out of any table of the optimiser's.
std::vector<TestPicture> crowdedTestPictures(unsigned seed);
// The pictures as a plain file: each one as it is, with its disposal and
// transparency, looping for ever.
QByteArray plainFile(const std::vector<TestPicture>& pictures, int width = 40, int height = 30);
// The file read into the frame optimiser and written again.
QByteArray optimized(const QByteArray& gif, int threads = 0);

struct NamedGif {
    QString name;
    QByteArray bytes;
};
// The GIF files of a folder, in the order of their names.
std::vector<NamedGif> gifFilesIn(const QString& folder);
// Small animations as other encoders write them, kept in tests/gif/foreign.
std::vector<NamedGif> otherEncodersFiles();
