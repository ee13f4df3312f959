#pragma once

#include <cstdint>

class QString;
class QTextStream;

// Writes every graphic of a GIF as it is decoded to folder/frame-NNN.bmp;
// returns how many were written. Graphics over `pixelLimit` are refused.
int exportFrames(const QString& fileName, const QString& folder, bool globalFrame, std::int64_t pixelLimit,
                 QTextStream& err);
