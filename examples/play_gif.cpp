// Plays a GIF in a window, each frame for its delay; with FRAMES, quits
// after showing that many.  play_gif IN.gif [FRAMES]
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <vector>

#include <Zvqgif.h>
#include <Zvqgraph.h>
#include <toolkit/streams.h>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: play_gif IN.gif [FRAMES]\n");
        return 2;
    }
    std::vector<std::pair<QPixmap, int>> frames;  // picture, delay in ms
    try {
        TMemoryStream in;
        in.LoadFromFile(QString::fromLocal8Bit(argv[1]));
        TZVQ_GIFDecompressor decoder;
        decoder.SetUseGlobalFrame(true);  // every frame on the whole logical screen
        while (auto dib = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit))
            frames.emplace_back(QPixmap::fromImage(dib->toImage()),
                                decoder.GetGraphicControlInfo().DelayTime);
    } catch (const Exception& e) {
        std::fprintf(stderr, "play_gif: %s\n", qPrintable(e.Message()));
        return 1;
    }
    if (frames.empty()) return 1;
    const int limit = argc == 3 ? std::atoi(argv[2]) : 0;
    QLabel label;
    QTimer timer;
    int shown = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (limit > 0 && shown == limit) return QApplication::quit();
        const auto& [picture, delay] = frames[std::size_t(shown++) % frames.size()];
        label.setPixmap(picture);
        timer.start(delay > 0 ? delay : 100);
    });
    label.show();
    timer.start(0);
    return application.exec();
}
