// Stores reads into an archive from a process of its own, for the tests of
// several stations sharing one archive and of a station killed mid-store.
//   archive_writer ARCHIVE COUNT SENSOR [--as-nobody]
// ARCHIVE is a file or a PostgreSQL URI; SENSOR is also the station's name.
// prints "stored N" after each committed read; exits 0 when all are stored,
// 1 with the error on stderr otherwise.
#include <unistd.h>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "app/read_archive.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: archive_writer ARCHIVE COUNT SENSOR [--as-nobody]\n");
        return 2;
    }
    // The archive folder's permissions bind only a user without root's powers.
    if (argc > 4 && std::strcmp(argv[4], "--as-nobody") == 0 && geteuid() == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) return 3;
    }
    QCoreApplication application(argc, argv);
    ReadArchive archive(QString::fromLocal8Bit(argv[1]));
    const int count = std::atoi(argv[2]);
    try {
        for (int n = 1; n <= count; ++n) {
            ArchivedRead read;
            read.readAt = QDateTime::currentDateTime();
            read.sensorNumber = QString::fromLocal8Bit(argv[3]);
            read.station = read.sensorNumber;
            read.executorName = QStringLiteral("Zażółć gęślą jaźń %1").arg(n);
            read.samples.assign(300, std::uint16_t(n));
            archive.store(read);
            std::printf("stored %d\n", n);
            std::fflush(stdout);
        }
    } catch (const Exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
