#pragma once

#include <QByteArray>
#include <QString>

// What appshuttle-cli writes, and where. Standard output carries only the
// command's result (text or JSON): takeStdout() points the process's
// standard output at standard error, so that whatever a library prints
// there lands beside the diagnostics, and keeps the real one for out().
class CliConsole
{
public:
    // Call first thing in main, before anything can print.
    static void takeStdout();

    // The result, on the real standard output.
    static void out(const QString &line);        // with a line end
    static void outRaw(const QByteArray &bytes); // as it is
    // Messages, progress aside, on standard error.
    static void note(const QString &line);

    // Text from a device made fit for a terminal line: control and format
    // characters dropped (no escape sequences, no reordering), at most
    // maxChars characters ("..." marks a cut).
    static QString printable(const QString &text, int maxChars = 300);
    // Text from a device as one field of a line of text output: nothing is
    // dropped, but controls, format characters and line or paragraph
    // separators are written as escapes
    // ("\n", "\t", "\r", "\e", else "\xHH" or "\uHHHH"), so a name can
    // neither break the line or its tab-separated fields nor drive the terminal.
    static QString escaped(const QString &text);
};
