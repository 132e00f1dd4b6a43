#include "ProgressDlg.h"

#include "ui_ProgressDialog.h"

#include <QCloseEvent>

ProgressDlg::ProgressDlg(QWidget *parent) : TulDialog(parent), ui(new Ui::ProgressDialog)
{
    ui->setupUi(this);
    connect(ui->btnCancel, &QPushButton::clicked, this, &ProgressDlg::OnCancel);
    connect(this, &QDialog::rejected, this, &ProgressDlg::Stop);
}

ProgressDlg::~ProgressDlg() = default;

void ProgressDlg::reset()
{
    ui->progressBar->setValue(0);
    m_aborted = false;
}

void ProgressDlg::setProgress(int percent)
{
    ui->progressBar->setValue(qBound(0, percent, 100));
}

int ProgressDlg::progress() const
{
    return ui->progressBar->value();
}

QLabel *ProgressDlg::firstLabel() const
{
    return ui->label;
}

QLabel *ProgressDlg::secondLabel() const
{
    return ui->labeltext;
}

QPushButton *ProgressDlg::cancelButton() const
{
    return ui->btnCancel;
}

void ProgressDlg::setElidedSecondLine(const QString &text)
{
    QLabel *label = ui->labeltext;
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
    label->setToolTip(text);
}

void ProgressDlg::retranslate()
{
    ui->retranslateUi(this);
}

void ProgressDlg::OnCancel()
{
    m_aborted = true;
    close();
}

void ProgressDlg::Stop()
{
    m_aborted = true;
}

void ProgressDlg::closeEvent(QCloseEvent *event)
{
    m_aborted = true;
    TulDialog::closeEvent(event);
}
