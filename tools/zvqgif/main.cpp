// zvqgif: GIF files from the shell, over the imaging library.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "frame_export.h"
#include "gif_info.h"
#include "gif_optimize.h"
#include "gif_writing.h"
#include "heap_policy.h"
#include "gif/pixel_limit.h"
#include "toolkit/exception.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: zvqgif info FILE.gif\n"
    "       zvqgif decode FILE.gif OUTDIR [--global-frame] [--pixel-limit N]\n"
    "       zvqgif encode IN OUT.gif [--interlace] [--no-dither] [--grayscale] [--gif87a]\n"
    "                     [--comment TEXT] [--quality standard|high]\n"
    "       zvqgif optimize IN.gif OUT.gif [--pixel-limit N]\n"
    "       zvqgif animate OUT.gif [--delay MS] [--loop N] [--disposal none|leave|background|previous]\n"
    "                      [--transparent RRGGBB] [--quality standard|high] [--no-dither]\n"
    "                      [--palette clip|per-frame] [--no-optimize] IN...\n";

struct Usage {};  // wrong arguments

int number(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0 || value > 65535) throw Usage{};
    return value;
}

TGIFPaletteQuality quality(const QCommandLineParser& parser) {
    const QString value = parser.value("quality");
    if (value == "standard") return TGIFPaletteQuality::Standard;
    if (value == "high") return TGIFPaletteQuality::High;
    throw Usage{};
}

TDisposalMethods disposal(const QString& name) {
    const QStringList names{"none", "leave", "background", "previous"};
    if (!names.contains(name)) throw Usage{};
    return TDisposalMethods(names.indexOf(name));
}

TColor colour(const QString& hex) {
    bool ok = false;
    const unsigned value = hex.toUInt(&ok, 16);
    if (!ok || hex.size() != 6) throw Usage{};
    return RGB(int(value >> 16), int(value >> 8), int(value));
}

// A count of pixels, 1 or more.
std::int64_t pixelLimit(const QCommandLineParser& parser) {
    bool ok = false;
    const qlonglong value = parser.value("pixel-limit").toLongLong(&ok);
    if (!ok || value < 1) throw Usage{};
    return value;
}

int run(const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == "info" && args.size() == 2) {
        printGifInfo(args[1], out, err);
    } else if (command == "decode" && args.size() == 3) {
        out << exportFrames(args[1], args[2], parser.isSet("global-frame"), pixelLimit(parser), err)
            << " frames written to " << args[2] << '\n';
    } else if (command == "encode" && args.size() == 3) {
        EncodeOptions options;
        options.interlace = parser.isSet("interlace");
        options.dither = !parser.isSet("no-dither");
        options.grayscale = parser.isSet("grayscale");
        options.gif87a = parser.isSet("gif87a");
        options.comment = parser.value("comment").toUtf8();
        options.quality = quality(parser);
        encodePicture(args[1], args[2], options);
    } else if (command == "optimize" && args.size() == 3) {
        if (const std::optional<TGIFStreamDamage> damage = optimizeGif(args[1], args[2], pixelLimit(parser))) {
            err << "zvqgif: " << damage->message << " after " << damage->imagesRead << " images of " << args[1]
                << ": " << args[2] << " shows those" << Qt::endl;
            return kFailed;
        }
    } else if (command == "animate" && args.size() >= 3) {
        AnimateOptions options;
        options.delay = number(parser, "delay");
        if (parser.isSet("loop")) options.loopCount = number(parser, "loop");
        options.disposal = disposal(parser.value("disposal"));
        if (parser.isSet("transparent")) options.transparent = colour(parser.value("transparent"));
        options.quality = quality(parser);
        options.dither = !parser.isSet("no-dither");
        options.optimize = !parser.isSet("no-optimize");
        if (parser.value("palette") != "clip" && parser.value("palette") != "per-frame") throw Usage{};
        options.sharedPalette = parser.value("palette") == "clip";
        animatePictures(args.mid(2), args[1], options);
    } else {
        throw Usage{};
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setUpHeap();
    // A console program: pictures are drawn into images, never on a screen,
    // and plain text blocks are decoded without fonts.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zvqgif"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZVQ_VERSION_STRING));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"global-frame", "decode: every graphic on the whole screen."},
        {"pixel-limit", "decode, optimize: the most pixels one graphic or screen may have.", "N",
         QString::number(kDefaultPixelLimit)},
        {"interlace", "encode: write interlaced rows."},
        {"no-dither", "encode, animate: map colours without dithering."},
        {"grayscale", "encode: write grey levels."},
        {"gif87a", "encode: write GIF87a (no comment, no transparency)."},
        {"comment", "encode: a comment block.", "TEXT"},
        // High by default: a picture of 256 colours or fewer keeps them exactly.
        {"quality", "encode, animate: high (the default; exact for 256 colours or fewer) or standard (median cut).",
         "standard|high", "high"},
        {"delay", "animate: delay of every frame in milliseconds.", "MS", "100"},
        {"loop", "animate: loop count written (0: for ever).", "N"},
        {"disposal", "animate: none, leave, background or previous.", "METHOD", "none"},
        {"transparent", "animate: the transparent colour.", "RRGGBB"},
        {"palette", "animate: one palette for the clip, or one per picture.", "clip|per-frame", "clip"},
        {"no-optimize", "animate: every picture written whole, as it is."},
    });
    parser.addPositionalArgument("command", "info | decode | encode | optimize | animate, then their files");
    parser.process(application);

    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        return run(parser, out, err);
    } catch (const Usage&) {
        err << kUsageText;
        return kUsage;
    } catch (const Exception& e) {
        err << "zvqgif: " << e.Message() << Qt::endl;
        return kFailed;
    }
}
