// Reads a GIF through the plugin as a console program does (a
// QCoreApplication, no fonts, no screen): every frame, then one line each
// for the frame count, the frames read, the screen size and the reader's
// error. Arguments: the plugin folder, the file, and Qt's allocation limit
// in megabytes (optional).
#include <QCoreApplication>
#include <QImageReader>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 3) return 2;
    QCoreApplication::addLibraryPath(args[1]);
    if (args.size() > 3) QImageReader::setAllocationLimit(args[3].toInt());
    QImageReader reader(args[2], "gif");
    QTextStream out(stdout);
    // Only our reader offers the description option.
    out << "ours " << (reader.supportsOption(QImageIOHandler::Description) ? "yes" : "no") << '\n';
    out << "count " << reader.imageCount() << '\n';
    int frames = 0;
    for (QImage image; reader.read(&image);) ++frames;
    out << "read " << frames << '\n'
        << "size " << reader.size().width() << 'x' << reader.size().height() << '\n'
        << "error " << (frames == reader.imageCount() ? QString("-") : reader.errorString()) << '\n';
    return 0;
}
