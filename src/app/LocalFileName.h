#pragma once

#include <QString>

// File names on this computer made from names that a device supplies (app
// names, versions, document names). The result is never a path, never
// hidden, holds no control, format or unpaired surrogate characters (each
// becomes '_', as separators do, so distinct names stay distinct), and its
// UTF-8 form fits the file system's limit of kMaxBytes, the suffix included.
class LocalFileName
{
public:
    static constexpr int kMaxBytes = 255;

    // deviceName cleaned and cut so that name + suffix fits kMaxBytes; the
    // suffix (" 1.2.ipa", already clean) is kept whole. An empty or
    // dots-only name becomes "_". suffix must stay well below kMaxBytes.
    static QString make(const QString &deviceName, const QString &suffix = QString());
    // deviceName with separators and invisible characters turned into '_',
    // cut to at most maxBytes of UTF-8 on a character boundary.
    static QString clean(const QString &deviceName, int maxBytes);
    static int utf8Bytes(const QString &text);
};
