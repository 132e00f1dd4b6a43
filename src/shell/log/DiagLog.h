#pragma once

#include <cerrno>
#include <QString>

// The diagnostic log: an append-only text file of error events in the
// temporary folder, named after the running program ("<program>.1.log").
// When it reaches 8192 bytes it becomes its twin ("<program>.2.log",
// replacing the previous twin) and the next entry starts a fresh file.
//
// Thread safety: every call is serialised by one process-wide mutex, so
// lines and entries from different threads never interleave.
// Failures (no program path, no writable folder) are silent by design.
class DiagLog
{
public:
    static constexpr qint64 kRotateSize = 8192;
    static constexpr int kLineBufferSize = 1024;   // a line holds at most 1023 bytes

    // Appends one printf-style line. Always returns true.
    static bool write(const char *format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 1, 2)))
#endif
        ;

    // Appends a whole entry: the header line
    // "<source>(<line>): in <Class::method> : <yyyy/MM/dd hh:mm:ss> <error %08x>"
    // and the detail line, both under one lock. Use DIAG_LOG rather than this.
    static bool entry(const char *sourceFile, int line, const char *prettyFunction,
                      int lastError, const char *detail);

    // "Class::method" out of a compiler's pretty function signature.
    static QByteArray qualifiedName(const char *prettyFunction);
    // The source file's base name without folders or extension ("communication").
    static QByteArray sourceName(const char *sourceFile);

    static QString logPath();    // empty when the program path is unknown
    static QString twinPath();   // logPath() with its last "1" turned into "2"
};

// Writes a two-line entry for the calling function. The error number is
// captured before anything else can change it.
#define DIAG_LOG(detail)                                                              \
    do {                                                                              \
        const int diagLastError_ = errno;                                             \
        DiagLog::entry(__FILE__, __LINE__, __PRETTY_FUNCTION__, diagLastError_, (detail)); \
    } while (0)

#define DIAG_ERROR() DIAG_LOG("error")
