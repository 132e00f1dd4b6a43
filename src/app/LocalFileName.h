#pragma once

#include <QString>

// File names on this computer made from names that a device supplies (app
// names, versions, document names). The result is never a path, never
// hidden, holds no control, format or unpaired surrogate characters (they
// are dropped; separators become '_'), and its UTF-8 form fits the file
// system's limit of kMaxBytes, the suffix included. Two apps whose names
// differ only in such characters meet as a name conflict, as any two
// apps of the same name do.
class LocalFileName
{
public:
    static constexpr int kMaxBytes = 255;

    // deviceName cleaned and cut so that name + suffix fits kMaxBytes; the
    // suffix (" 1.2.ipa", already clean) is kept whole. An empty or
    // dots-only name becomes "_". suffix must stay well below kMaxBytes.
    static QString make(const QString &deviceName, const QString &suffix = QString());
    // deviceName without invisible characters and with separators turned
    // into '_', cut to at most maxBytes of UTF-8 on a character boundary.
    static QString clean(const QString &deviceName, int maxBytes);
    static int utf8Bytes(const QString &text);
};
