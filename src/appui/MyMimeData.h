#pragma once

#include <QMimeData>

class IDelayDataSource;

// The data of a drag out of the app views: file URLs whose files do not
// exist yet. When a drop target asks for "text/uri-list" (during the drag on
// some platforms, after QDrag::exec() returned on X11), the render check asks
// the source to write the files: once, and only after the drop happened, never
// while the target is merely hovered or after the drag was cancelled.
class MyMimeData : public QMimeData
{
    Q_OBJECT
public:
    MyMimeData() = default;

    void setDataSource(IDelayDataSource *source) { m_source = source; }
    IDelayDataSource *dataSource() const { return m_source; }
    bool rendered() const { return m_rendered; }

    // What QDrag::exec() gave. IgnoreAction (refused or cancelled) means no
    // drop happened: the files are never written. Any other action counts as
    // a drop even while the platform still reports the button as held.
    void setDragResult(Qt::DropAction action);

    // Writes the files when a drop happened and they are not written yet.
    virtual void renderCheck();

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    enum class DragState { Running, Dropped, Cancelled };

    bool m_rendered = false;
    IDelayDataSource *m_source = nullptr;
    DragState m_state = DragState::Running;
};
