#include "MyMimeData.h"

#include "IDelayDataSource.h"

#include <QGuiApplication>

void MyMimeData::setDragResult(Qt::DropAction action)
{
    m_state = action == Qt::IgnoreAction ? DragState::Cancelled : DragState::Dropped;
}

void MyMimeData::renderCheck()
{
    if (!m_source || m_rendered || m_state == DragState::Cancelled)
        return;
    // While the drag runs, a held primary button means the target only
    // hovers. Swapped buttons are mapped by the window system, so the
    // primary one is always Qt's left button here.
    if (m_state == DragState::Running && (QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    m_rendered = true;
    m_source->OnRenderData();
}

QVariant MyMimeData::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (mimeType == QLatin1String("text/uri-list"))
        const_cast<MyMimeData *>(this)->renderCheck();
    return QMimeData::retrieveData(mimeType, type);
}
