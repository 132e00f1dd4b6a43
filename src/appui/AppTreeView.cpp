#include "AppTreeView.h"

#include "AppDragOut.h"
#include "AppDropFiles.h"

#include <QDropEvent>

#include <QMouseEvent>

AppTreeView::AppTreeView(QWidget *parent) : QTreeView(parent), m_dragOut(new AppDragOut(this, this))
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    connect(m_dragOut, &AppDragOut::progressChanged, this, &AppTreeView::slotProgress);
}

bool AppTreeView::OnRenderData()
{
    return m_dragOut->render();
}

void AppTreeView::slotProgress(AppTask *pTask, AppTask::DATA_CHANGED datachanged)
{
    m_dragOut->progress(pTask, datachanged);
}

void AppTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    AppDropFiles::answer(event);
}

void AppTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    AppDropFiles::answer(event);
}

void AppTreeView::dropEvent(QDropEvent *event)
{
    const QStringList packages = AppDropFiles::take(event);
    if (!packages.isEmpty())
        emit signalDropInApp(packages);
}

void AppTreeView::startDrag(Qt::DropActions)
{
    m_dragOut->start();
}

void AppTreeView::mousePressEvent(QMouseEvent *event)
{
    if (!m_modeRemembered) {
        m_configuredMode = selectionMode();
        m_modeRemembered = true;
    }
    // Column 0 holds the check boxes: there each click toggles one row.
    const QRect cell = visualRect(model() ? model()->index(0, 0) : QModelIndex());
    const int x = event->position().toPoint().x();
    if (x > cell.left() && x < cell.right())
        setSelectionMode(MultiSelection);
    else
        setSelectionMode(m_configuredMode);
    QTreeView::mousePressEvent(event);
}
