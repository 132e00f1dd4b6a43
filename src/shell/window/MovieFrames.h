#pragma once

#include <QSize>
#include <QString>

class QLabel;
class QMovie;
class QObject;

// Animations that stay crisp at any scale: the "@2x" file where the screen
// has the pixels for it, each frame drawn at the label's pixel ratio (a
// QLabel showing a QMovie itself would stretch the 100 % frames).
class MovieFrames
{
public:
    // A movie of path, or of its "@2x" sibling when one exists and path's
    // frames have fewer pixels than logicalSize needs on this screen. Not started.
    static QMovie *create(const QString &path, const QSize &logicalSize, QObject *parent);
    // Shows the movie's frames on the label at logicalSize. The movie may be
    // shared by many labels; the connection ends with the label.
    static void play(QLabel *label, QMovie *movie, const QSize &logicalSize);
};
