#pragma once

// Helpers the tests share: deterministic data, whole files, package entries.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <zip.h>

namespace TestData {

// Bytes whose pattern does not repeat at any chunk size the tests use, so a
// misplaced or repeated block shows.
inline QByteArray patterned(int size, int seed = 0)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((seed + i * 131 + i / 7) & 0xff);
    return data;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Creates the parent folders as well.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The entry names of a zip, in the archive's order; empty when it does not open.
inline QStringList zipEntries(const QString &path)
{
    QStringList out;
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!zip)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
        out << QString::fromUtf8(zip_get_name(zip, zip_uint64_t(i), 0));
    zip_discard(zip);
    return out;
}

} // namespace TestData
