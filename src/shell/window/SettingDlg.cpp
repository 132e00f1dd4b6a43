#include "SettingDlg.h"

#include "ui_SettingDlg.h"

#include "DiagLog.h"
#include "TulPref.h"

namespace {
const QString kEnableKey = QStringLiteral("EnableAutoUpdate");
const QString kTypeKey = QStringLiteral("AutoUpdateType");
constexpr int kIntervals = 3;
} // namespace

SettingDlg::SettingDlg(QWidget *parent)
    : TulDialog(parent)
    , ui(std::make_unique<Ui::SettingDlgClass>())
{
    ui->setupUi(this);
    setAllWindowTitle(tr("Settings"));

    TulPref *pref = TulPref::instance();
    const bool enabled = pref->value(kEnableKey, true).toBool();
    const int type = pref->value(kTypeKey, 0).toInt();

    ui->ApplyBtn->setEnabled(false);
    ui->checkBox_AutoUpdate->setChecked(enabled);
    for (int i = 0; i < kIntervals; ++i)
        ui->comboBox_AutoUpdate->addItem(QString());
    setIntervalTexts();
    ui->comboBox_AutoUpdate->setEnabled(ui->checkBox_AutoUpdate->isChecked());
    // A stored index out of range (an edited file) shows no interval; Apply stores what is chosen then.
    ui->comboBox_AutoUpdate->setCurrentIndex(type >= 0 && type < kIntervals ? type : -1);

    connect(ui->RestoreDefaultsBtn, &QPushButton::clicked, this, &SettingDlg::onRestoreDefaults);
    connect(ui->CancelBtn, &QPushButton::clicked, this, &SettingDlg::onCancel);
    connect(ui->OkBtn, &QPushButton::clicked, this, &SettingDlg::onOK);
    connect(ui->ApplyBtn, &QPushButton::clicked, this, &SettingDlg::onApply);
    connect(ui->checkBox_AutoUpdate, &QCheckBox::stateChanged, this, &SettingDlg::onSettingsChanged);
    connect(ui->comboBox_AutoUpdate, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SettingDlg::onSettingsChanged);
    connect(ui->checkBox_AutoUpdate, &QCheckBox::clicked, this, &SettingDlg::onAutoUpdateCheckBoxChanged);
}

int SettingDlg::getUpdateCycle(int index)
{
    switch (index) {
    case 0:
        return 1;
    case 1:
        return 7;
    case 2:
        return 30;
    default:
        DIAG_LOG("");
        return -1;
    }
}

void SettingDlg::retranslate()
{
    ui->retranslateUi(this);
    setAllWindowTitle(tr("Settings"));
    setIntervalTexts();
}

void SettingDlg::setIntervalTexts()
{
    const QString texts[kIntervals] = {tr("Every Day"), tr("Every Week"), tr("Every Month")};
    for (int i = 0; i < kIntervals; ++i)
        ui->comboBox_AutoUpdate->setItemText(i, texts[i]);
}

void SettingDlg::onOK()
{
    if (onApply())
        reject();
}

void SettingDlg::onCancel()
{
    reject();
}

bool SettingDlg::onApply()
{
    const bool enabled = ui->checkBox_AutoUpdate->isChecked();
    const int index = ui->comboBox_AutoUpdate->currentIndex();
    const int cycle = getUpdateCycle(index);
    TulPref *pref = TulPref::instance();
    pref->setValue(kEnableKey, enabled, false);
    pref->setValue(kTypeKey, index, false);
    emit signalAutoUpdateChanged(enabled, cycle);
    ui->ApplyBtn->setEnabled(false);
    return true;
}

void SettingDlg::onRestoreDefaults()
{
    ui->checkBox_AutoUpdate->setChecked(true);
    ui->comboBox_AutoUpdate->setEnabled(true);
    ui->comboBox_AutoUpdate->setCurrentIndex(0);
}

void SettingDlg::onSettingsChanged()
{
    ui->ApplyBtn->setEnabled(true);
}

void SettingDlg::onAutoUpdateCheckBoxChanged()
{
    ui->comboBox_AutoUpdate->setEnabled(ui->checkBox_AutoUpdate->isChecked());
}

SettingDlg::~SettingDlg() = default;
