#include "watingdlg.h"

#include "ui_watingdlg.h"

#include "MovieFrames.h"
#include "TulPref.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMovie>
#include <QTimer>

namespace {
constexpr QSize kSpinnerSize(32, 32);
}

watingdlg::watingdlg(int mode, QWidget *parent)
    : TulDialog(parent)
    , ui(std::make_unique<Ui::watingdlgClass>())
    , m_mode(mode)
{
    ui->setupUi(this);
    // Closing is the dialog's own business: no title-bar close button.
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setTitle();
    ui->noteject_label->setMinimumWidth(ui->noteject_label->fontMetrics().averageCharWidth() * 36);
    m_movie = MovieFrames::create(QStringLiteral(":/images/loading.gif"), kSpinnerSize, this);
    MovieFrames::play(ui->gif_label, m_movie, kSpinnerSize);
    m_movie->start();
}

void watingdlg::retranslate()
{
    ui->retranslateUi(this);
    setTitle();
}

void watingdlg::setTitle()
{
    QString title;
    if (m_mode == ModeRefreshing)
        title = tr("Refreshing device...");
    else if (m_mode == ModeLoading)
        title = tr("Loading...");
    setAllWindowTitle(title.isEmpty() ? TulPref::product_name() : title);
}

void watingdlg::on_action_state_changed(qint32 state)
{
    complete(state);
}

void watingdlg::onTaskCompleted()
{
    complete(1);
}

void watingdlg::complete(int result)
{
    emit actionDone(m_mode);
    m_result = result;
    m_closeAllowed = 1;
    m_completed = true;
    if (isVisible()) {
        close();
        return;
    }
    if (!m_closeTimer) {
        m_closeTimer = new QTimer(this);
        connect(m_closeTimer, &QTimer::timeout, this, &watingdlg::checkCloseWindow);
    }
    m_closeTimer->start(1000);
}

// Ticks every second after a completion that found the dialog hidden, so a
// dialog run late still closes; it stops once it closed a shown dialog.
void watingdlg::checkCloseWindow()
{
    if (!m_completed) {
        if (m_closeTimer)
            m_closeTimer->start(1000);
        return;
    }
    if (!isVisible())
        return;
    m_closeAllowed = 1;
    close();
    if (m_closeTimer)
        m_closeTimer->stop();
}

void watingdlg::closeEvent(QCloseEvent *event)
{
    if (!m_closeAllowed) {
        event->ignore();
        return;
    }
    TulDialog::closeEvent(event);
    m_closeAllowed = 0;
}

void watingdlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    TulDialog::keyPressEvent(event);
}

watingdlg::~watingdlg() = default;
