#include "DragFileNames.h"

#include <QSet>

namespace {

bool dropped(char32_t c)
{
    if (c == '/' || c == '\\')
        return true;
    // Controls, bidirectional overrides and other invisible formatting would
    // make a name that looks like another one; half a surrogate pair is no
    // character at all.
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format
        || category == QChar::Other_Surrogate
        || category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

// Cuts text to at most maxBytes of UTF-8 without splitting a character.
QString boundUtf8(const QString &text, int maxBytes)
{
    QString out;
    int bytes = 0;
    for (int i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
        const QString unit = pair ? text.mid(i, 2) : text.mid(i, 1);
        const int size = int(unit.toUtf8().size());
        if (bytes + size > maxBytes)
            break;
        out += unit;
        bytes += size;
        if (pair)
            ++i;
    }
    return out;
}

} // namespace

QString DragFileNames::sanitize(const QString &appName)
{
    QString name;
    name.reserve(appName.size());
    for (int i = 0; i < appName.size(); ++i) {
        const bool pair = appName.at(i).isHighSurrogate() && i + 1 < appName.size()
            && appName.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(appName.at(i), appName.at(i + 1)) : appName.at(i).unicode();
        if (!dropped(c))
            name += pair ? appName.mid(i, 2) : QString(appName.at(i));
        if (pair)
            ++i;
    }
    while (name.contains(QLatin1String("..")))
        name.replace(QLatin1String(".."), QLatin1String("."));
    int start = 0;
    while (start < name.size() && (name.at(start) == QLatin1Char('.') || name.at(start).isSpace()))
        ++start;
    name = boundUtf8(name.mid(start), kMaxBaseBytes).trimmed();
    return name.isEmpty() ? QStringLiteral("App") : name;
}

QStringList DragFileNames::packageNames(const QStringList &appNames)
{
    QStringList out;
    QSet<QString> taken;
    const QString suffix = QStringLiteral(".ipa");
    for (const QString &appName : appNames) {
        const QString base = sanitize(appName);
        QString name = base + suffix;
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
            name = base + QStringLiteral(" (%1)").arg(n) + suffix;
        taken.insert(name.toCaseFolded());
        out << name;
    }
    return out;
}
