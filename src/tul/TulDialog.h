#pragma once

#include "TulWidgetHelper.h"

#include <QDialog>

// Base of the program's dialogs. exec() (QDialog's) gives the result passed
// to done(), Accepted/Rejected or any other code, and opens the dialog centred
// over its parent. retranslate() is called whenever the application language
// changes.
class TulDialog : public QDialog, public TulWidgetHelper
{
    Q_OBJECT
public:
    explicit TulDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    // Re-applies the dialog's texts; the base does nothing.
    virtual void retranslate();

protected:
    void changeEvent(QEvent *event) override;
};
