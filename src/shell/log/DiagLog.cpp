#include "DiagLog.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex &logMutex()
{
    static std::mutex m;
    return m;
}

QString programFileName()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return QString();
    const QByteArray path(buf, int(n));
    const int slash = path.lastIndexOf('/');
    if (slash < 0 || slash + 1 >= path.size())
        return QString();
    return QString::fromLocal8Bit(path.mid(slash + 1));
}

QByteArray formatLine(const char *format, va_list args)
{
    char buffer[DiagLog::kLineBufferSize];
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0)
        return QByteArray();
    return QByteArray(buffer, qMin(n, int(sizeof buffer) - 1));
}

// Appends whole lines and rotates once the file has reached the threshold.
// Called with the log mutex held.
void appendLines(const QByteArray &lines)
{
    const QString path = DiagLog::logPath();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(lines);
    const qint64 size = file.size();
    file.close();
    if (size >= DiagLog::kRotateSize) {
        const QString twin = DiagLog::twinPath();
        QFile::remove(twin);
        QFile::rename(path, twin);
    }
}

} // namespace

QString DiagLog::logPath()
{
    const QString name = programFileName();
    if (name.isEmpty())
        return QString();
    return QDir::tempPath() + QLatin1Char('/') + name + QLatin1String(".1.log");
}

QString DiagLog::twinPath()
{
    QString path = logPath();
    const int one = path.lastIndexOf(QLatin1Char('1'));
    if (one >= 0)
        path[one] = QLatin1Char('2');
    return path;
}

bool DiagLog::write(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    QByteArray line = formatLine(format, args);
    va_end(args);
    line.append('\n');
    std::lock_guard<std::mutex> lock(logMutex());
    appendLines(line);
    return true;
}

QByteArray DiagLog::qualifiedName(const char *prettyFunction)
{
    // "virtual int Foo::bar(int) const" -> "Foo::bar"; templates and
    // lambdas keep whatever stands before the parameter list.
    QByteArray sig(prettyFunction ? prettyFunction : "");
    // clang names an anonymous namespace "(anonymous namespace)", gcc
    // "{anonymous}": one spelling, and no parenthesis before the parameters.
    sig.replace("(anonymous namespace)", "{anonymous}");
    int depth = 0;
    int paren = -1;
    for (int i = 0; i < sig.size(); ++i) {
        const char c = sig.at(i);
        if (c == '<')
            ++depth;
        else if (c == '>')
            --depth;
        else if (c == '(' && depth == 0) {
            paren = i;
            break;
        }
    }
    if (paren >= 0)
        sig.truncate(paren);
    depth = 0;
    int start = 0;
    for (int i = sig.size() - 1; i >= 0; --i) {
        const char c = sig.at(i);
        if (c == '>')
            ++depth;
        else if (c == '<')
            --depth;
        else if ((c == ' ' || c == '*' || c == '&') && depth == 0) {
            start = i + 1;
            break;
        }
    }
    return sig.mid(start);
}

QByteArray DiagLog::sourceName(const char *sourceFile)
{
    QByteArray name(sourceFile ? sourceFile : "");
    const int slash = qMax(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);
    const int dot = name.lastIndexOf('.');
    if (dot > 0)
        name.truncate(dot);
    return name;
}

bool DiagLog::entry(const char *sourceFile, int line, const char *prettyFunction,
                    int lastError, const char *detail)
{
    const QByteArray when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")).toLocal8Bit();
    char header[kLineBufferSize];
    int n = std::snprintf(header, sizeof header, "%s(%d): in %s : %s %08x",
                          sourceName(sourceFile).constData(), line,
                          qualifiedName(prettyFunction).constData(), when.constData(),
                          unsigned(lastError));
    n = qBound(0, n, int(sizeof header) - 1);
    QByteArray lines(header, n);
    lines.append('\n');
    QByteArray detailLine(detail ? detail : "");
    detailLine.truncate(kLineBufferSize - 1);
    detailLine.replace('\n', ' ');
    lines.append(detailLine).append('\n');

    std::lock_guard<std::mutex> lock(logMutex());
    appendLines(lines);
    return true;
}
