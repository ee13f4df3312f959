#pragma once

class QString;
class QTextStream;

// Prints a GIF's screen, tables and loop count, then one line per graphic.
void printGifInfo(const QString& fileName, QTextStream& out, QTextStream& err);
