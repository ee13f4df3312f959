// The frame optimisation benchmark (see gif_optimize_benchmark.cpp).
#include <QGuiApplication>
#include <cstdio>

#include "bench/gif_optimize_clips.h"
#include "bench/gif_optimize_quality.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() == 4 && args[1] == "--write-clips") {
        const QString photo = args[3];
        for (const OptimizeClip& clip : {terminalClip(), spritesClip(photo), panClip(photo)}) {
            writeWholeFrames(clip, args[2] + "/" + clip.name + ".gif");
            writePngFrames(clip, args[2] + "/" + clip.name);
        }
        return 0;
    }
    if (args.size() == 4 && args[1] == "--psnr") {
        const QString photo = QStringLiteral("/usr/share/backgrounds/mate/nature/TwoWings.jpg");
        for (const OptimizeClip& clip : {terminalClip(), spritesClip(photo), panClip(photo)}) {
            if (clip.name == args[3]) std::printf("%.2f dB\n", clipPsnr(args[2], clip));
        }
        return 0;
    }
    std::fprintf(stderr, "usage: %s --write-clips DIR PHOTO\n", argv[0]);
    return 2;
}
