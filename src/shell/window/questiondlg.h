#pragma once

#include "TulDialog.h"

#include <memory>

namespace Ui {
class questionDlgClass;
}

// A message with an information icon and two buttons. Mode 1 (Retry) asks
// whether to try again: exec() gives 1 for Retry, 0 for Cancel or closing.
// Mode 0 (Open Folder) offers to open folder in the file manager.
class questiondlg : public TulDialog
{
    Q_OBJECT
public:
    enum { ModeOpenFolder = 0, ModeRetry = 1 };

    questiondlg(int mode, const QString &text, const QString &folder, QWidget *parent = nullptr);
    ~questiondlg() override;

    void retranslate() override;

public slots:
    void slot_openFolder();

private:
    void setButtonTexts();

    std::unique_ptr<Ui::questionDlgClass> ui;
    int m_mode;
    QString m_folder;
};
