#include "MyMimeData.h"

#include "IDelayDataSource.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace {

// Whether the primary mouse button is held. During an X11 drag Qt's own
// button state already reads "released" while the user still holds the
// button (the drag has the pointer grabbed), so there the X server is asked.
// Swapped buttons are mapped by the window system: the primary one is
// always button 1, Qt's left button.
bool primaryButtonHeld()
{
#if QT_CONFIG(xcb)
    // The offscreen platform may offer the X11 interface without a server.
    auto *x11 = qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb")
        ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t *connection = x11 ? x11->connection() : nullptr) {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_query_pointer_reply_t *reply =
            screen ? xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr) : nullptr;
        if (reply) {
            const bool held = reply->mask & XCB_BUTTON_MASK_1;
            free(reply);
            return held;
        }
    }
#endif
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

} // namespace

void MyMimeData::setDragResult(Qt::DropAction action)
{
    m_state = action == Qt::IgnoreAction ? DragState::Cancelled : DragState::Dropped;
}

void MyMimeData::renderCheck()
{
    if (!m_source || m_rendered || m_state == DragState::Cancelled)
        return;
    // While the drag runs, a held primary button means the target only hovers.
    if (m_state == DragState::Running && primaryButtonHeld())
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
