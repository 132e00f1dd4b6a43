#pragma once

#include "TulDialog.h"

#include <memory>

namespace Ui { class ReplaceDialog; }

// The question a copy to the computer asks when its target file exists.
// Run with exec(): only on Accepted does choice() say what to do with the
// file (0 Replace, 1 Rename, 2 Skip); any other result means "skip this
// file". applyToAll() tells whether the choice holds for the remaining files.
class ReplaceDlg : public TulDialog
{
    Q_OBJECT
public:
    enum Choice { Replace = 0, Rename = 1, Skip = 2 };

    explicit ReplaceDlg(QWidget *parent = nullptr);
    ~ReplaceDlg() override;

    int choice() const { return m_choice; }
    bool applyToAll() const;
    void setApplyToAll(bool on);
    // Names the file that exists (shown plainly, it may come from a device).
    void setFileName(const QString &name);
    void retranslate() override;

public slots:
    void OnBtnReplace();
    void OnBtnRename();
    void OnBtnSkip();

private:
    void choose(int choice);

    std::unique_ptr<Ui::ReplaceDialog> ui;
    void showFileName();

    int m_choice = Replace;
    QString m_fileName;
};
