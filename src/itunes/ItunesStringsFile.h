#pragma once

#include <QByteArray>
#include <QString>

// iTunes' Localizable.strings: UTF-16 text with a byte-order mark, lines
// such as  "128.007" = "Automatically Add to iTunes";
class ItunesStringsFile
{
public:
    static constexpr qint64 kMaxFileSize = 8 * 1024 * 1024;
    static constexpr int kMaxValueUnits = 258;

    // The value of the quoted `key`; empty (with a log entry) when the text
    // has no UTF-16 byte-order mark, an odd length, no such key, a missing
    // quote or a value longer than kMaxValueUnits code units.
    static QString value(const QByteArray &bytes, const QString &key);
};
