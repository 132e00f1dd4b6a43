#include "LocalFileName.h"

namespace {

bool invisible(char32_t c)
{
    // Controls, bidirectional overrides and other formatting would make a
    // name that looks like another one, or reach a terminal as a command;
    // half a surrogate pair is no character at all.
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

int LocalFileName::utf8Bytes(const QString &text)
{
    return int(text.toUtf8().size());
}

QString LocalFileName::clean(const QString &deviceName, int maxBytes)
{
    QString out;
    int bytes = 0;
    for (int i = 0; i < deviceName.size(); ++i) {
        const bool pair = deviceName.at(i).isHighSurrogate() && i + 1 < deviceName.size()
            && deviceName.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(deviceName.at(i), deviceName.at(i + 1))
                                : deviceName.at(i).unicode();
        // Invisible characters go; separators become '_', so that "a/b" and
        // "ab" stay distinct.
        const QString unit = invisible(c) ? QString()
                           : c == '/' || c == '\\' ? QStringLiteral("_")
                           : pair ? deviceName.mid(i, 2) : QString(deviceName.at(i));
        if (pair)
            ++i;
        const int size = utf8Bytes(unit);
        if (bytes + size > maxBytes)
            break;
        out += unit;
        bytes += size;
    }
    return out;
}

QString LocalFileName::make(const QString &deviceName, const QString &suffix)
{
    const int budget = kMaxBytes - utf8Bytes(suffix);
    QString name = clean(deviceName, budget).trimmed();
    // A leading dot hides the file; "." and ".." are no names at all.
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name = QLatin1Char('_') + clean(deviceName, budget - 1).trimmed();
    return name + suffix;
}
