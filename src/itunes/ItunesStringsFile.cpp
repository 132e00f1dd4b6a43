#include "ItunesStringsFile.h"

#include "DiagLog.h"

#include <QtEndian>

QString ItunesStringsFile::value(const QByteArray &bytes, const QString &key)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes.size() > kMaxFileSize) {
        DIAG_LOG("strings file is not UTF-16 text");
        return QString();
    }
    const uchar first = uchar(bytes.at(0));
    const uchar second = uchar(bytes.at(1));
    const bool little = first == 0xff && second == 0xfe;
    const bool big = first == 0xfe && second == 0xff;
    if (!little && !big) {
        DIAG_LOG("strings file has no byte-order mark");
        return QString();
    }
    const qsizetype units = bytes.size() / 2 - 1;
    QString text(units, Qt::Uninitialized);
    const char *data = bytes.constData() + 2;
    for (qsizetype i = 0; i < units; ++i) {
        text[i] = QChar(little ? qFromLittleEndian<quint16>(data + 2 * i)
                               : qFromBigEndian<quint16>(data + 2 * i));
    }

    const QString quotedKey = QLatin1Char('"') + key + QLatin1Char('"');
    const qsizetype at = text.indexOf(quotedKey);
    const qsizetype open = at < 0 ? -1 : text.indexOf(QLatin1Char('"'), at + quotedKey.size());
    const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('"'), open + 1);
    if (close < 0) {
        DIAG_LOG(QStringLiteral("no value for %1 in the strings file").arg(quotedKey)
                     .toLocal8Bit().constData());
        return QString();
    }
    if (close - open - 1 > kMaxValueUnits) {
        DIAG_LOG("strings file value too long");
        return QString();
    }
    return text.mid(open + 1, close - open - 1);
}
