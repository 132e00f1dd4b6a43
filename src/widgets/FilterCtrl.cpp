#include "FilterCtrl.h"

#include "DiagLog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QToolButton>

FilterCtrl::FilterCtrl(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , lineFilter(new QLineEdit(this))
    , btnColumFilter(new QPushButton(this))
    , btnEditclose(new QToolButton(this))
    , btnEditcloseNormal(new QToolButton(this))
    , columLabelStatus(new QLabel(this))
{
    lineFilter->setObjectName(QStringLiteral("lineFilter"));
    lineFilter->resize(100, 22);
    btnColumFilter->setObjectName(QStringLiteral("btnColumFilter"));
    btnColumFilter->setAutoFillBackground(true);
    btnColumFilter->setFocusPolicy(Qt::NoFocus);
    btnColumFilter->setAccessibleName(tr("Search columns"));
    btnColumFilter->hide();   // shown once the owner adds columns
    btnEditclose->setObjectName(QStringLiteral("btnEditclose"));
    btnEditclose->setFocusPolicy(Qt::NoFocus);
    btnEditclose->setAutoRaise(true);
    btnEditclose->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear")));
    btnEditclose->setAccessibleName(tr("Clear search"));
    btnEditclose->setToolTip(tr("Clear search"));
    btnEditcloseNormal->setObjectName(QStringLiteral("btnEditcloseNormal"));
    btnEditcloseNormal->setFocusPolicy(Qt::NoFocus);
    btnEditcloseNormal->setAutoRaise(true);
    btnEditcloseNormal->setEnabled(false);
    btnEditcloseNormal->setIcon(QIcon::fromTheme(QStringLiteral("edit-find")));
    btnEditcloseNormal->setAccessibleName(tr("Search"));
    columLabelStatus->setObjectName(QStringLiteral("columLabelStatus"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 6, 0);
    layout->setSpacing(0);
    layout->addItem(new QSpacerItem(185, 22, QSizePolicy::Expanding, QSizePolicy::Minimum));
    layout->addWidget(columLabelStatus);
    layout->addWidget(btnColumFilter);
    layout->addWidget(lineFilter);
    layout->addWidget(btnEditcloseNormal);
    layout->addWidget(btnEditclose);
    btnEditclose->hide();

    connect(lineFilter, &QLineEdit::textChanged, this, &FilterCtrl::innerEditFilterTextChanged);
    connect(btnEditclose, &QToolButton::clicked, this, &FilterCtrl::filterClear);
    connect(lineFilter, &QLineEdit::editingFinished, this, &FilterCtrl::innerEditFilterEditFinished);
}

FilterCtrl::~FilterCtrl()
{
    // The line edit loses focus while QWidget's destructor removes it, after
    // this object's own part is gone: its signals must not reach us then.
    lineFilter->disconnect(this);
}

void FilterCtrl::setPlaceholderText(const QString &text)
{
    lineFilter->setPlaceholderText(text);
    // The hint stays whole however narrow the page gets.
    const QFontMetrics metrics = lineFilter->fontMetrics();
    lineFilter->setMinimumWidth(metrics.horizontalAdvance(text) + 4 * metrics.averageCharWidth());
    lineFilter->setToolTip(text);
    lineFilter->setAccessibleName(text);
}

QAction *FilterCtrl::addColumnAction(const QString &text, int column)
{
    auto *action = new QAction(text, this);
    action->setCheckable(true);
    action->setData(column);
    connect(action, &QAction::triggered, this, [this, action] { innerChangeFilterColumn(action); });
    m_columnActions << action;
    btnColumFilter->addAction(action);
    btnColumFilter->show();
    return action;
}

void FilterCtrl::filterClear(bool)
{
    if (!lineFilter->text().isEmpty())
        lineFilter->setText(QString());   // the change emits the empty text
    else
        emit filterTextChanged(QString());
}

void FilterCtrl::checkAction(int column)
{
    if (column < -1) {
        DIAG_ERROR();
        return;
    }
    for (QAction *action : std::as_const(m_columnActions))
        action->setChecked(action->data().toInt() == column);
}

void FilterCtrl::setCenterLabelText(QString text)
{
    columLabelStatus->setText(text);
}

void FilterCtrl::innerEditFilterTextChanged(QString editFilterText)
{
    const bool empty = editFilterText.isEmpty();
    btnEditcloseNormal->setVisible(empty);
    btnEditclose->setVisible(!empty);
    emit filterTextChanged(editFilterText.trimmed());
}

void FilterCtrl::innerChangeFilterColumn(QAction *action)
{
    if (!action)
        return;
    for (QAction *other : std::as_const(m_columnActions)) {
        if (other != action)
            other->setChecked(false);
    }
    emit changeFilterColumn(action->isChecked() ? action->data().toInt() : -1);
}

void FilterCtrl::innerEditFilterEditFinished()
{
}
