#pragma once

class QString;
class QTextStream;

// Writes every graphic of a GIF as it is decoded to folder/frame-NNN.bmp;
// returns how many were written.
int exportFrames(const QString& fileName, const QString& folder, bool globalFrame, QTextStream& err);
