#include "ReplaceDlg.h"

#include "ui_ReplaceDialog.h"

ReplaceDlg::ReplaceDlg(QWidget *parent) : TulDialog(parent), ui(new Ui::ReplaceDialog)
{
    ui->setupUi(this);
    setAllWindowTitle(tr("Confirm File Replace"));
    connect(ui->btnCancel, &QPushButton::clicked, this, &ReplaceDlg::reject);
    connect(ui->btnReplace, &QPushButton::clicked, this, &ReplaceDlg::OnBtnReplace);
    connect(ui->btnRename, &QPushButton::clicked, this, &ReplaceDlg::OnBtnRename);
    connect(ui->btnSkip, &QPushButton::clicked, this, &ReplaceDlg::OnBtnSkip);
}

ReplaceDlg::~ReplaceDlg() = default;

bool ReplaceDlg::applyToAll() const
{
    return ui->checkApplyToAll->isChecked();
}

void ReplaceDlg::setApplyToAll(bool on)
{
    ui->checkApplyToAll->setChecked(on);
}

void ReplaceDlg::setFileName(const QString &name)
{
    m_fileName = name;
    showFileName();
}

void ReplaceDlg::showFileName()
{
    if (m_fileName.isEmpty())
        return;
    ui->labelMessage->setTextFormat(Qt::PlainText);
    ui->labelMessage->setWordWrap(true);
    ui->labelMessage->setText(tr("The folder already holds a file named \"%1\".").arg(m_fileName));
}

void ReplaceDlg::retranslate()
{
    ui->retranslateUi(this);
    setAllWindowTitle(tr("Confirm File Replace"));
    showFileName();
}

void ReplaceDlg::OnBtnReplace()
{
    choose(Replace);
}

void ReplaceDlg::OnBtnRename()
{
    choose(Rename);
}

void ReplaceDlg::OnBtnSkip()
{
    choose(Skip);
}

void ReplaceDlg::choose(int choice)
{
    m_choice = choice;
    accept();
}
