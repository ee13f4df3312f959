#include "bench/gif_optimize_clips.h"

#include <QDir>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "gif/Zvqgif.h"
#include "gif/palette_refinement.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/bitmap.h"
#include "toolkit/streams.h"

namespace {

const char* const kSession[] = {
    "$ ls -l bench",
    "total 24",
    "-rwxr-xr-x 1 dev dev 2210 Mar 11 14:02 run",
    "-rw-r--r-- 1 dev dev 9120 Mar 11 14:05 summary.cpp",
    "$ make -j2 bench",
    "[ 50%] Building CXX object summary.cpp.o",
    "[100%] Linking CXX executable bench",
    "$ ./bench --quick",
    "decode  12.4 ms   encode  8.1 ms",
    "$ git status",
    "On branch main, nothing to commit",
    "$ grep -c TEST tests/*.cpp",
    "tests/gif.cpp:41",
    "tests/lzw.cpp:17",
    "$ du -sh build",
    "212M    build",
    "$ cat NOTES | head -2",
    "Frames are coded on every core.",
    "Delays are kept to the hundredth.",
    "$ uptime",
    " 14:07:31 up 3 days,  2:11,  load average: 0.42",
    "$ echo done",
    "done",
    "$ ",
};

// The session with `typed` characters of its commands typed; a command's
// output shows once the command is typed whole.
QImage terminalScreen(int typed) {
    QImage screen(640, 400, QImage::Format_RGB32);
    screen.fill(QColor(30, 30, 30));
    QPainter painter(&screen);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(13);
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    painter.setFont(font);
    int y = 20;
    bool cursorDrawn = false;
    for (const char* line : kSession) {
        const QString text = QString::fromLatin1(line);
        const bool command = text.startsWith('$');
        QString shown = text;
        if (command) {
            const int room = std::max(0, typed);
            shown = text.left(2 + room);
            typed -= int(text.size()) - 2;
        } else if (typed <= 0) {
            break;
        }
        painter.setPen(command ? QColor(138, 226, 52) : QColor(211, 215, 207));
        painter.drawText(8, y, shown);
        if (command && (typed <= 0 || text.size() == 2) && !cursorDrawn) {
            const int x = 8 + painter.fontMetrics().horizontalAdvance(shown);
            painter.fillRect(x, y - 12, 8, 15, QColor(211, 215, 207));
            cursorDrawn = true;
            break;
        }
        y += 16;
    }
    return screen;
}

QImage loadPhoto(const QString& photo, QSize size) {
    QImage image(photo);
    if (image.isNull()) throw std::runtime_error("cannot read " + photo.toStdString());
    image = image.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return image.copy(QRect(QPoint((image.width() - size.width()) / 2, (image.height() - size.height()) / 2), size))
        .convertToFormat(QImage::Format_RGB32);
}

// The photograph dithered once onto a palette of `colours` of its own.
QImage ditheredPhoto(const QImage& photo, int colours) {
    TBitmap bitmap;
    bitmap.SetImage(photo);
    TDeviceIndependentBitmap dib(&bitmap, TDIBFormat::dt24bit);
    const std::unique_ptr<TLogicalPalette> palette = refinedPalette(&dib, colours);
    const std::unique_ptr<TDeviceIndependentBitmap> indexed = indexedFaithfully(&dib, palette.get(), true);
    QImage out(photo.size(), QImage::Format_Indexed8);
    QVector<QRgb> table;
    for (int i = 0; i < palette->GetCount(); ++i) {
        table.append(qRgb(palette->GetRed(i), palette->GetGreen(i), palette->GetBlue(i)));
    }
    out.setColorTable(table);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) out.scanLine(y)[x] = uchar(indexed->pixelIndex(x, y));
    }
    return out;
}

// The frames on one table of their 256 most frequent colours, each other
// colour taking the nearest of those.
std::vector<QImage> indexedOnCommonColours(const std::vector<QImage>& frames) {
    QHash<QRgb, qint64> counts;
    for (const QImage& frame : frames) {
        for (int y = 0; y < frame.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) ++counts[line[x]];
        }
    }
    QVector<QRgb> table = counts.keys().toVector();
    std::sort(table.begin(), table.end(), [&](QRgb a, QRgb b) {
        return counts[a] != counts[b] ? counts[a] > counts[b] : a < b;
    });
    table.resize(std::min<qsizetype>(table.size(), 256));
    QHash<QRgb, int> indexOf;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        int best = 0, bestDistance = INT32_MAX;
        for (int i = 0; i < table.size(); ++i) {
            const int dr = qRed(it.key()) - qRed(table[i]), dg = qGreen(it.key()) - qGreen(table[i]),
                      db = qBlue(it.key()) - qBlue(table[i]);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) best = i, bestDistance = distance;
        }
        indexOf.insert(it.key(), best);
    }
    std::vector<QImage> out;
    for (const QImage& frame : frames) {
        QImage indexed(frame.size(), QImage::Format_Indexed8);
        indexed.setColorTable(table);
        for (int y = 0; y < frame.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) indexed.scanLine(y)[x] = uchar(indexOf.value(line[x]));
        }
        out.push_back(indexed);
    }
    return out;
}

void drawSprites(QImage& frame, int step, const QVector<QRgb>& colours) {
    QPainter painter(&frame);
    for (int s = 0; s < 4; ++s) {
        const double t = step * 0.09 + s * 1.7;
        const int x = 240 + int(std::lround(180 * std::sin(t * (1 + 0.3 * s))));
        const int y = 135 + int(std::lround(100 * std::cos(t * (1.2 - 0.2 * s))));
        painter.setPen(QPen(QColor(colours[0]), 3));
        painter.setBrush(QColor(colours[1 + s % 3]));
        painter.drawEllipse(QPoint(x, y), 20, 20);
        painter.fillRect(x - 6, y - 10, 6, 6, QColor(colours[4]));
    }
}

}  // namespace

OptimizeClip terminalClip() {
    OptimizeClip clip;
    clip.name = QStringLiteral("terminal");
    for (int i = 0; i < 120; ++i) clip.trueColour.push_back(terminalScreen(i));
    clip.indexed = indexedOnCommonColours(clip.trueColour);
    return clip;
}

OptimizeClip spritesClip(const QString& photo) {
    OptimizeClip clip;
    clip.name = QStringLiteral("sprites");
    const QImage background = loadPhoto(photo, QSize(480, 270));
    QImage indexedBackground = ditheredPhoto(background, 251);
    QVector<QRgb> table = indexedBackground.colorTable();
    const QVector<QRgb> spriteColours{qRgb(0, 0, 0), qRgb(230, 40, 40), qRgb(250, 210, 30), qRgb(40, 90, 230),
                                      qRgb(255, 255, 255)};
    const int firstSprite = int(table.size());
    table += spriteColours;
    indexedBackground.setColorTable(table);
    for (int i = 0; i < 60; ++i) {
        QImage frame = background;
        drawSprites(frame, i, spriteColours);
        clip.trueColour.push_back(frame);
        // The same sprites drawn without smoothing onto the dithered photograph.
        QImage mask(frame.size(), QImage::Format_RGB32);
        mask.fill(qRgb(1, 2, 3));
        drawSprites(mask, i, spriteColours);
        QImage indexed = indexedBackground;
        for (int y = 0; y < mask.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
            for (int x = 0; x < mask.width(); ++x) {
                const int at = int(spriteColours.indexOf(line[x] | 0xFF000000u));
                if (at >= 0) indexed.scanLine(y)[x] = uchar(firstSprite + at);
            }
        }
        clip.indexed.push_back(indexed);
    }
    return clip;
}

OptimizeClip panClip(const QString& photo) {
    OptimizeClip clip;
    clip.name = QStringLiteral("pan");
    const QImage wide = loadPhoto(photo, QSize(960, 540));
    const QImage indexedWide = ditheredPhoto(wide, 256);
    for (int i = 0; i < 60; ++i) {
        const QRect window(8 * i, 3 * i, 480, 270);
        clip.trueColour.push_back(wide.copy(window));
        clip.indexed.push_back(indexedWide.copy(window));
    }
    return clip;
}

void writeWholeFrames(const OptimizeClip& clip, const QString& fileName) {
    TFileStream out(fileName, TFileMode::Create);
    TZVQ_GIFCompressor encoder;
    encoder.OpenImageStream(&out);
    encoder.WriteLoopControl(0);
    TGIFGraphicControlInfo info;
    info.DelayTime = clip.delay;
    for (const QImage& frame : clip.indexed) {
        TBitmap bitmap;
        bitmap.SetImage(frame);
        TDeviceIndependentBitmap dib(&bitmap, TDIBFormat::dt8bit);
        encoder.WriteGIFGraphic(&dib, info);
    }
    encoder.CloseImageStream();
}

void writePngFrames(const OptimizeClip& clip, const QString& folder) {
    QDir().mkpath(folder);
    for (std::size_t i = 0; i < clip.trueColour.size(); ++i) {
        clip.trueColour[i].save(QStringLiteral("%1/frame-%2.png").arg(folder).arg(int(i), 3, 10, QChar('0')));
    }
}
