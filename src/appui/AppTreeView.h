#pragma once

#include "AppTask.h"
#include "IDelayDataSource.h"

#include <QTreeView>

class AppDragOut;

// The detail view of the apps page. Files dropped on it (.ipa packages, or
// folders holding them) are announced by signalDropInApp; apps dragged out
// become package files when the target takes the drop (AppDragOut).
// A press inside column 0 (the check-box column) toggles single rows.
class AppTreeView : public QTreeView, public IDelayDataSource
{
    Q_OBJECT
public:
    explicit AppTreeView(QWidget *parent = nullptr);

    bool OnRenderData() override;
    AppDragOut *dragOut() const { return m_dragOut; }

signals:
    void signalDropInApp(QStringList appList);

public slots:
    void slotProgress(AppTask *pTask, AppTask::DATA_CHANGED datachanged);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    AppDragOut *m_dragOut;
    bool m_modeRemembered = false;
    SelectionMode m_configuredMode = ExtendedSelection;
};
