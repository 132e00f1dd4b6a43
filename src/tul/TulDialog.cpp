#include "TulDialog.h"

#include <QEvent>

TulDialog::TulDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , TulWidgetHelper(this)
{
    // The context-help button adds nothing here and confuses users.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void TulDialog::retranslate()
{
}

void TulDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
