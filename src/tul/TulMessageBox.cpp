#include "TulMessageBox.h"

#include "DiagLog.h"
#include "TulPref.h"

namespace {

TulMessageBox::Answerer &answerer()
{
    static TulMessageBox::Answerer fn;
    return fn;
}

} // namespace

QMessageBox::StandardButton TulMessageBox::info(const QString &text, const QString &title,
                                                QWidget *parent, bool plainText)
{
    Request request;
    request.kind = Info;
    request.text = text;
    request.title = title;
    request.buttons = QMessageBox::Ok;
    request.defaultButton = QMessageBox::Ok;
    request.parent = parent;
    return run(request, QMessageBox::Information, plainText);
}

QMessageBox::StandardButton TulMessageBox::question(const QString &text, const QString &title,
                                                    QMessageBox::StandardButtons buttons,
                                                    QWidget *parent,
                                                    QMessageBox::StandardButton defaultButton,
                                                    bool plainText)
{
    Request request;
    request.kind = Question;
    request.text = text;
    request.title = title;
    request.buttons = buttons == QMessageBox::NoButton ? (QMessageBox::Yes | QMessageBox::No)
                                                       : buttons;
    // A default that is not on the box would leave Qt to pick one, which may be Yes.
    request.defaultButton = request.buttons.testFlag(defaultButton) ? defaultButton
                                                                    : QMessageBox::NoButton;
    if (request.defaultButton == QMessageBox::NoButton && defaultButton != QMessageBox::NoButton)
        DIAG_LOG("default button not among the buttons");
    request.parent = parent;
    return run(request, QMessageBox::Question, plainText);
}

void TulMessageBox::setAnswerer(Answerer fn)
{
    answerer() = std::move(fn);
}

QMessageBox::StandardButton TulMessageBox::run(const Request &request, QMessageBox::Icon icon,
                                               bool plainText)
{
    if (answerer()) {
        const QMessageBox::StandardButton answer = answerer()(request);
        if (answer != QMessageBox::NoButton && request.buttons.testFlag(answer))
            return answer;
        return request.defaultButton;
    }

    const QString title = request.title.isEmpty() ? TulPref::product_name() : request.title;
    QMessageBox box(icon, title, request.text, request.buttons, request.parent);
    box.setTextFormat(plainText ? Qt::PlainText : Qt::AutoText);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    const int result = box.exec();
    return static_cast<QMessageBox::StandardButton>(result);
}
