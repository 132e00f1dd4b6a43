#include "CliConsole.h"

#include <cstdio>
#include <unistd.h>

namespace {

FILE *g_out = stdout;

} // namespace

void CliConsole::takeStdout()
{
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0)
        return;
    FILE *stream = fdopen(saved, "w");
    if (!stream) {
        close(saved);
        return;
    }
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::fclose(stream);
        return;
    }
    g_out = stream;
}

void CliConsole::out(const QString &line)
{
    outRaw(line.toLocal8Bit() + '\n');
}

void CliConsole::outRaw(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), g_out);
    std::fflush(g_out);
}

void CliConsole::note(const QString &line)
{
    std::fputs((line.toLocal8Bit() + '\n').constData(), stderr);
    std::fflush(stderr);
}

QString CliConsole::printable(const QString &text, int maxChars)
{
    QString clean;
    clean.reserve(qMin(text.size(), maxChars));
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            continue;
        clean += c;
    }
    clean = clean.trimmed();
    if (clean.size() > maxChars) {
        clean.truncate(maxChars - 3);
        // Never half of a surrogate pair.
        if (!clean.isEmpty() && clean.back().isHighSurrogate())
            clean.chop(1);
        clean += QStringLiteral("...");
    }
    return clean;
}

QString CliConsole::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (category != QChar::Other_Control && category != QChar::Other_Format
            && category != QChar::Separator_Line && category != QChar::Separator_Paragraph) {
            out += c;
            continue;
        }
        switch (c.unicode()) {
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case 0x1b: out += QLatin1String("\\e"); break;
        default:
            out += c.unicode() < 0x100 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                       : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}
