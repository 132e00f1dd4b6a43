#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

// Modal message boxes of the program. Both functions run a QMessageBox unless
// a test answerer is set. GUI thread only.
//
// plainText (the trailing flag, true at every call site): the text is shown as
// plain text, never interpreted as rich text; names that come from a device
// may contain markup.
class TulMessageBox
{
public:
    enum Kind { Info, Question };

    // What a box would show; handed to the test answerer.
    struct Request
    {
        Kind kind = Info;
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QWidget *parent = nullptr;
    };
    using Answerer = std::function<QMessageBox::StandardButton(const Request &)>;

    // An information box with an OK button. An empty title gives the product name.
    static QMessageBox::StandardButton info(const QString &text, const QString &title,
                                            QWidget *parent, bool plainText = true);

    // A question; gives the button pressed. Closing the box without a button
    // gives the escape button Qt picks (No, or Cancel), which never counts as Yes.
    static QMessageBox::StandardButton question(
        const QString &text, const QString &title,
        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
        QWidget *parent = nullptr,
        QMessageBox::StandardButton defaultButton = QMessageBox::No, bool plainText = true);

    // Test seam: while set, no box is shown; the answerer's button is returned.
    // An answer that is not among the box's buttons gives the default button
    // (for info: Ok). Pass an empty function to show real boxes again.
    static void setAnswerer(Answerer answerer);

private:
    static QMessageBox::StandardButton run(const Request &request, QMessageBox::Icon icon,
                                           bool plainText);
};
