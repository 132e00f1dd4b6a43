#include "ItunesPrefFiles.h"

#include "DiagLog.h"

#include <QFile>

namespace {

QByteArray withoutWhitespace(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            out.append(c);
    }
    return out;
}

} // namespace

QByteArray ItunesPrefFiles::elementAfterKey(const QByteArray &text, const QByteArray &key,
                                            const QByteArray &element)
{
    // The element must be the key's own value: only whitespace between them.
    const QByteArray keyTag = "<key>" + key + "</key>";
    const QByteArray open = '<' + element + '>';
    const QByteArray close = "</" + element + '>';
    const qsizetype at = text.indexOf(keyTag);
    if (at < 0)
        return QByteArray();
    qsizetype start = at + keyTag.size();
    while (start < text.size() && QByteArray(" \t\r\n").contains(text.at(start)))
        ++start;
    if (text.mid(start, open.size()) != open)
        return QByteArray();
    start += open.size();
    const qsizetype end = text.indexOf(close, start);
    if (end < 0)
        return QByteArray();
    return text.mid(start, end - start);
}

QByteArray ItunesPrefFiles::decodeEntities(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype semi = text.at(i) == '&' ? text.indexOf(';', i) : -1;
        if (semi < 0 || semi - i > 10) {
            out.append(text.at(i));
            continue;
        }
        const QByteArray name = text.mid(i + 1, semi - i - 1);
        uint code = 0;
        bool ok = true;
        if (name == "amp") code = '&';
        else if (name == "lt") code = '<';
        else if (name == "gt") code = '>';
        else if (name == "quot") code = '"';
        else if (name == "apos") code = '\'';
        else if (name.startsWith("#x")) code = name.mid(2).toUInt(&ok, 16);
        else if (name.startsWith('#')) code = name.mid(1).toUInt(&ok, 10);
        else ok = false;
        if (!ok || code == 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            out.append(text.at(i));
            continue;
        }
        const char32_t ch = code;
        out.append(QString::fromUcs4(&ch, 1).toUtf8());
        i = semi;
    }
    return out;
}

QString ItunesPrefFiles::libraryLocation(const QByteArray &prefsText)
{
    const QByteArray encoded = withoutWhitespace(
        elementAfterKey(prefsText, "iTunes Library XML Location:1", "data"));
    if (encoded.isEmpty()) {
        DIAG_LOG("no library location in the preferences");
        return QString();
    }
    const auto decoded =
        QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray &bytes = *decoded;
    if (!decoded || bytes.isEmpty() || bytes.size() % 2 != 0
        || bytes.size() / 2 > kMaxPathLength) {
        DIAG_LOG("library location is not Base64 UTF-16");
        return QString();
    }
    QString path = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                      bytes.size() / 2);
    const qsizetype nul = path.indexOf(QChar(0));
    if (nul >= 0)
        path.truncate(nul);
    if (path.isEmpty())
        DIAG_LOG("empty library location");
    return path;
}

QString ItunesPrefFiles::musicFolder(const QByteArray &libraryText)
{
    const QByteArray raw = elementAfterKey(libraryText, "Music Folder", "string");
    if (raw.isEmpty() || raw.size() > kMaxPathLength * 4) {
        DIAG_LOG("no music folder in the library file");
        return QString();
    }
    QString folder = QString::fromUtf8(QByteArray::fromPercentEncoding(decodeEntities(raw)));
    for (const QLatin1String scheme : {QLatin1String("file://localhost/"),
                                       QLatin1String("file:///")}) {
        if (folder.startsWith(scheme, Qt::CaseInsensitive)) {
            folder.remove(0, scheme.size());
            break;
        }
    }
    return folder;
}

QByteArray ItunesPrefFiles::readHead(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        DIAG_LOG(QStringLiteral("cannot open %1").arg(path).toLocal8Bit().constData());
        return QByteArray();
    }
    return file.read(limit);
}
