#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

// One stored read: what the window showed after it, and the raw log words
// from which the chart and the details panel are drawn again.
struct ArchivedRead {
    qint64 id = 0;
    QDateTime readAt;
    bool complete = true;
    int lastStep = 0;  // the read step reached; a complete read ends past step 16

    QString testerNumber, testerModel;
    QString executorName, postalCode, city, street, executorId;
    QString sensorNumber, pairing, sensorType, productionDate;
    QString maxCurrentH, minCurrentH, maxCurrentL, minCurrentL;
    QString station;  // the name of the station that stored it (stationName())
    QString uuid;     // chosen by the station: the same read is never stored twice
    int scale = 2;    // chart pixels per 0.1 mA: 2 for the 15 mA chart, 1 for 30 mA
    std::vector<std::uint16_t> samples;
};

// Which stored reads a list or an export takes: an exact sensor number,
// an inclusive range of days and an exact station name, each optional.
struct ReadFilter {
    QString sensor;
    QDate from, to;
    QString station;
};

// One row of the archive list: what it shows of a stored read.
struct ListedRead {
    qint64 id = 0;
    QString readAt;  // as stored, yyyy-MM-dd HH:mm:ss.zzz
    QString sensorNumber, sensorType, testerNumber, station;
    bool complete = true;
};
