#pragma once

#include <QString>

#include "app/archived_read.h"

class ReadArchive;

// Exports of the stored reads a filter takes, newest first. Both return the
// number of reads written and throw an Exception when the archive cannot be
// read or a file cannot be written.

// Two CSV files a spreadsheet opens as they are (UTF-8 with a byte order
// mark, comma-separated, a header row): `fileName` with one row per read,
// and samplesFileName(fileName) with one row per log sample.
int exportCsv(ReadArchive& archive, const ReadFilter& filter, const QString& fileName);
QString samplesFileName(const QString& csvFileName);

// One report PDF per read in `folder`, drawn by the station's own report in
// the given language (0 Polish, 1 English) and named as the print dialog
// names it, with -2, -3 ... for further reads of a sensor on the same day.
int exportPdfReports(ReadArchive& archive, const ReadFilter& filter, const QString& folder,
                     int language);
