#include "AppListView.h"

#include "AppDragOut.h"
#include "AppDropFiles.h"

#include <QDropEvent>


AppListView::AppListView(QWidget *parent) : QListView(parent), m_dragOut(new AppDragOut(this, this))
{
    setDragEnabled(true);
    setAcceptDrops(true);
    connect(m_dragOut, &AppDragOut::progressChanged, this, &AppListView::slotProgress);
}

bool AppListView::OnRenderData()
{
    return m_dragOut->render();
}

void AppListView::slotProgress(AppTask *pTask, AppTask::DATA_CHANGED datachanged)
{
    m_dragOut->progress(pTask, datachanged);
}

void AppListView::dragEnterEvent(QDragEnterEvent *event)
{
    AppDropFiles::answer(event);
}

void AppListView::dragMoveEvent(QDragMoveEvent *event)
{
    AppDropFiles::answer(event);
}

void AppListView::dropEvent(QDropEvent *event)
{
    const QStringList packages = AppDropFiles::take(event);
    if (!packages.isEmpty())
        emit signalDropInApp(packages);
}

void AppListView::startDrag(Qt::DropActions)
{
    m_dragOut->start();
}
