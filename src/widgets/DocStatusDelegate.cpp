#include "DocStatusDelegate.h"

#include "DocModel.h"
#include "DocStatusEditor.h"

#include <QApplication>
#include <QPainter>

DocStatusDelegate::DocStatusDelegate(QObject *parent) : QStyledItemDelegate(parent)
{
}

void DocStatusDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    if (selected || (option.state & QStyle::State_MouseOver)) {
        QStyleOptionViewItem panel(option);
        panel.state |= QStyle::State_Active;
        if (option.widget)
            option.widget->style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, option.widget);
        else
            painter->fillRect(option.rect, option.palette.highlight());
    }

    DocStatusEditor *editor = m_editors.value(index.data(DocModel::ItemRole).toLongLong());
    if (!editor)
        return;
    const int progress = index.data(DocModel::TaskProgressRole).toInt();
    switch (index.data(DocModel::TaskStateRole).toInt()) {
    case 0:
        editor->setData(DocStatusEditor::TextMode,
                        {index.data(Qt::DisplayRole).toString() + QStringLiteral("      ")});
        break;
    case 1:
        editor->setData(DocStatusEditor::ProgressMode,
                        {progress, tr("Adding (%1% finished)").arg(progress)});
        break;
    case 2:
        editor->setData(DocStatusEditor::ProgressMode,
                        {progress, tr("Saving (%1% finished)").arg(progress)});
        break;
    default:
        break;
    }
    editor->setSelected(selected);
}

QSize DocStatusDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(60, 24);
}

QWidget *DocStatusDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &index) const
{
    auto *editor = new DocStatusEditor(parent);
    connect(editor, &DocStatusEditor::editorDeleted, this, &DocStatusDelegate::commitAndCloseEditor);
    m_editors.insert(index.data(DocModel::ItemRole).toLongLong(), editor);
    return editor;
}

void DocStatusDelegate::setEditorData(QWidget *, const QModelIndex &) const
{
}

void DocStatusDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
}

void DocStatusDelegate::commitAndCloseEditor(DocStatusEditor *editor)
{
    for (auto it = m_editors.begin(); it != m_editors.end();) {
        if (it.value() == editor)
            it = m_editors.erase(it);
        else
            ++it;
    }
}
