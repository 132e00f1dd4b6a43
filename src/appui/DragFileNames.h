#pragma once

#include <QString>
#include <QStringList>

// File names for the packages of a drag out, made from app names that the
// device supplies: never a path, never hidden, bounded, and distinct within
// one drag, so a hostile name cannot write outside the drag's folder.
class DragFileNames
{
public:
    // Bytes of a base name in UTF-8 (file systems allow 255 for the whole
    // name, which also holds " (n)" and ".ipa").
    static constexpr int kMaxBaseBytes = 200;

    // One name without suffix: separators, "..", control and format
    // characters and leading dots or blanks removed; "App" when nothing is left.
    static QString sanitize(const QString &appName);
    // "<name>.ipa" for every app name, in order; a name already taken in the
    // list (letter case ignored) gets " (2)", " (3)" ... before the suffix.
    static QStringList packageNames(const QStringList &appNames);
};
