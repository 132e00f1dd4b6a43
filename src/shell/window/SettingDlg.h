#pragma once

#include "TulDialog.h"

#include <memory>

namespace Ui {
class SettingDlgClass;
}

// The "Settings..." dialog: whether and how often the program checks for
// updates. Stores "EnableAutoUpdate" and "AutoUpdateType" in the preferences
// on Apply or OK and reports the choice through signalAutoUpdateChanged.
class SettingDlg : public TulDialog
{
    Q_OBJECT
public:
    explicit SettingDlg(QWidget *parent = nullptr);
    ~SettingDlg() override;

    // Days between checks for an interval index: 0 -> 1, 1 -> 7, 2 -> 30;
    // any other index -> -1 (logged).
    static int getUpdateCycle(int index);

    void retranslate() override;

signals:
    void signalAutoUpdateChanged(bool enableUpdate, int cycle);

public slots:
    void onOK();
    void onCancel();
    bool onApply();
    void onRestoreDefaults();
    void onSettingsChanged();
    void onAutoUpdateCheckBoxChanged();

private:
    void setIntervalTexts();

    std::unique_ptr<Ui::SettingDlgClass> ui;
};
