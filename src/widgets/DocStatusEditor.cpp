#include "DocStatusEditor.h"

#include "ui_DocStatusEditor.h"

DocStatusEditor::DocStatusEditor(QWidget *parent) : QWidget(parent), ui(new Ui::DocStatusEditor)
{
    ui->setupUi(this);
    ui->statusLabel->setTextFormat(Qt::PlainText);   // document names come from the device
    ui->progressBar->hide();
    ui->progressBar->setValue(0);
}

DocStatusEditor::~DocStatusEditor()
{
    emit editorDeleted(this);
}

void DocStatusEditor::setData(int mode, const QVariantList &data)
{
    m_mode = mode;
    m_data = data;
    updateEditor();
}

void DocStatusEditor::updateEditor()
{
    if (m_mode == TextMode) {
        ui->progressBar->hide();
        ui->statusLabel->setText(m_data.value(0).toString());
        ui->statusLabel->show();
    } else if (m_mode == ProgressMode) {
        ui->statusLabel->hide();
        ui->progressBar->show();
        // The delegate feeds the editor while the view paints; QProgressBar
        // would repaint at once on a new value, so it only schedules here.
        ui->progressBar->setUpdatesEnabled(false);
        ui->progressBar->setValue(qBound(0, m_data.value(0).toInt(), 100));
        ui->progressBar->setFormat(m_data.value(1).toString());
        ui->progressBar->setUpdatesEnabled(true);
    }
}

void DocStatusEditor::setSelected(bool selected)
{
    if (selected == m_selected && !ui->statusLabel->styleSheet().isEmpty())
        return;
    m_selected = selected;
    repaintLabel();
}

void DocStatusEditor::setStatusLabelStyle(const QString &style)
{
    m_statusLabelStyle = style;
    if (!m_selected)
        repaintLabel();
}

void DocStatusEditor::setStatusLabelSelectedStyle(const QString &style)
{
    m_statusLabelSelectedStyle = style;
    if (m_selected)
        repaintLabel();
}

void DocStatusEditor::repaintLabel()
{
    ui->statusLabel->setStyleSheet(currentStyle());
    ui->statusLabel->update();   // called while the view paints: no recursive repaint
}

QString DocStatusEditor::labelText() const
{
    return ui->statusLabel->text();
}

bool DocStatusEditor::labelShown() const
{
    return !ui->statusLabel->isHidden();
}

bool DocStatusEditor::progressShown() const
{
    return !ui->progressBar->isHidden();
}

int DocStatusEditor::progressValue() const
{
    return ui->progressBar->value();
}

QString DocStatusEditor::progressText() const
{
    return ui->progressBar->text();
}

QString DocStatusEditor::labelStyleSheet() const
{
    return ui->statusLabel->styleSheet();
}
