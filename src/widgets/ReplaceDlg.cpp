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

void ReplaceDlg::retranslate()
{
    ui->retranslateUi(this);
    setAllWindowTitle(tr("Confirm File Replace"));
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
