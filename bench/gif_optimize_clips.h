#pragma once

#include <QImage>
#include <QString>
#include <vector>

// The clips the frame optimisation benchmark makes for itself, each as
// true-colour frames and as the same frames on one colour table of at most
// 256 colours.
struct OptimizeClip {
    QString name;
    std::vector<QImage> trueColour;  // Format_RGB32
    std::vector<QImage> indexed;     // Format_Indexed8, one colour table for all
    int delay = 40;                  // milliseconds
};

// A terminal session typed character by character (640 x 400, 120 frames).
OptimizeClip terminalClip();
// Sprites moving over a still photograph (480 x 270, 60 frames).
OptimizeClip spritesClip(const QString& photo);
// A camera pan across the photograph: every pixel changes (480 x 270, 60 frames).
OptimizeClip panClip(const QString& photo);

// The indexed frames as a GIF of whole frames, written by the library
// without optimisation; a loop for ever.
void writeWholeFrames(const OptimizeClip& clip, const QString& fileName);
// The true-colour frames as frame-000.png, frame-001.png, ... in `folder`.
void writePngFrames(const OptimizeClip& clip, const QString& folder);
