#pragma once

#include <QHash>
#include <QStyledItemDelegate>

class DocStatusEditor;

// Draws the status cell (column 3) of the document view and feeds the row's
// persistent DocStatusEditor from the model: a status text, or the progress
// of an upload (task state 1) or a download (task state 2). Editors belong to
// the view; the map forgets an editor when it is destroyed.
class DocStatusDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit DocStatusDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // The open editor of a document key (model role 35), or null.
    DocStatusEditor *editorFor(qint64 key) const { return m_editors.value(key); }
    int editorCount() const { return m_editors.size(); }

public slots:
    void commitAndCloseEditor(DocStatusEditor *editor);

private:
    mutable QHash<qint64, DocStatusEditor *> m_editors;
};
