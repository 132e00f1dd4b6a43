#pragma once

#include "TulDialog.h"

#include <memory>

class QMovie;
class QTimer;

namespace Ui {
class watingdlgClass;
}

// The modal "please wait" dialog shown while a device is loaded (mode 2) or
// refreshed (mode 1). The user cannot close it; it closes itself once the
// awaited work reports completion, also when that happens before the dialog
// is shown: the caller then skips running it (completed()), and a dialog run
// anyway closes within a second.
class watingdlg : public TulDialog
{
    Q_OBJECT
public:
    enum { ModeRefreshing = 1, ModeLoading = 2 };

    explicit watingdlg(int mode, QWidget *parent = nullptr);
    ~watingdlg() override;

    int mode() const { return m_mode; }
    bool completed() const { return m_completed; }
    // 1 after onTaskCompleted(), the state after on_action_state_changed(), else -1.
    int actionResult() const { return m_result; }

    void retranslate() override;

signals:
    void actionDone(int actionType);

public slots:
    void on_action_state_changed(qint32 state);
    void onTaskCompleted();
    void checkCloseWindow();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void complete(int result);
    void setTitle();

    std::unique_ptr<Ui::watingdlgClass> ui;
    int m_mode;
    int m_closeAllowed = 0;
    bool m_completed = false;
    int m_result = -1;
    QTimer *m_closeTimer = nullptr;
    QMovie *m_movie = nullptr;
};
