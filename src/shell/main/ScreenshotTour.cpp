#include "ScreenshotTour.h"

#include "AppHandler.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppWidget.h"
#include "DeviceTreeWidget.h"
#include "MainWindow.h"
#include "ZAppInfoItem.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kTickMs = 250;
constexpr int kMaxTicks = 240;   // a minute for any step

} // namespace

ScreenshotTour::ScreenshotTour(MainWindow *window, const QString &folder, const QString &packagesFolder,
                               std::function<void()> slowDown)
    : QObject(window)
    , m_window(window)
    , m_folder(folder)
    , m_packages(packagesFolder)
    , m_slowDown(std::move(slowDown))
{
}

void ScreenshotTour::start()
{
    QDir().mkpath(m_folder);
    // Room for the detail view's columns and the details pane side by side.
    m_window->resize(1180, 760);
    QTimer::singleShot(1000, this, &ScreenshotTour::step);
}

bool ScreenshotTour::save(const QString &name)
{
    const QString path = m_folder + QLatin1Char('/') + name;
    const bool saved = m_window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    std::fflush(stdout);
    m_ok &= saved;
    return saved;
}

void ScreenshotTour::finish(int code)
{
    QCoreApplication::exit(m_ok ? code : 1);
}

// One step per tick; a step that waits for the window returns early and is
// tried again on the next tick.
void ScreenshotTour::step()
{
    auto again = [this] {
        if (++m_waited > kMaxTicks) {
            std::fprintf(stderr, "screenshots: step %d did not come about\n", m_step);
            save(QStringLiteral("failed-step-%1.png").arg(m_step));
            finish(1);
            return;
        }
        QTimer::singleShot(kTickMs, this, &ScreenshotTour::step);
    };
    auto next = [this, &again] {
        ++m_step;
        m_waited = 0;
        again();
    };
    auto *tree = m_window->findChild<DeviceTreeWidget *>(QStringLiteral("deviceTreeWidget"));
    const auto &pages = m_window->devicePages();
    // The iPhone: its iOS still lets apps be copied out, so every feature shows.
    QString phoneId;
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        if (it.value()->handler() && it.value()->handler()->deviceInfo().name().contains("iPhone"))
            phoneId = it.key();
    }
    AppWidget *phone = pages.value(phoneId);

    switch (m_step) {
    case 0:
        // Nothing attached yet: the page that tells what to do, then its demo link.
        m_window->slotShowGettingStarted();
        save(QStringLiteral("getting-started.png"));
        emit m_window->demoRequested();
        return next();
    case 1:
        // Both demo devices in, and the waiting dialog gone; the summary's
        // storage and battery are read in the background.
        if (pages.size() < 2 || !phone || QApplication::activeModalWidget())
            return again();
        tree->setCurrentItem(tree->deviceItem(phoneId));
        return next();
    case 2:
        if (m_waited < 6)
            return again();
        save(QStringLiteral("summary.png"));
        tree->setCurrentItem(tree->deviceItem(phoneId)->child(0));
        return next();
    case 3: {
        if (m_waited < 8)   // icons stream in after the list
            return again();
        save(QStringLiteral("apps-icons.png"));
        // An app that shares documents, selected, with the details pane open.
        AppProxyModel *proxy = phone->proxyModel();
        for (int row = 0; row < proxy->rowCount(); ++row) {
            const QModelIndex index = proxy->index(row, 0);
            const ZAppInfoItem *item = proxy->dataItemFromIndex(index);
            if (item && item->record.fileSharingEnabled) {
                phone->getCurrentView()->selectionModel()->select(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                phone->getCurrentView()->scrollTo(index);
                break;
            }
        }
        phone->findChild<QPushButton *>(QStringLiteral("treeView_pushButton"))->click();
        auto *details = phone->findChild<QPushButton *>(QStringLiteral("droprise_pushButton"));
        if (!details->isChecked())
            details->click();
        return next();
    }
    case 4:
        if (m_waited < 6)
            return again();
        save(QStringLiteral("apps-details.png"));
        // The same at the size a first start opens with.
        m_window->resize(m_window->defaultSize());
        return next();
    case 5:
        if (m_waited < 2)
            return again();
        save(QStringLiteral("apps-default-size.png"));
        m_window->resize(1180, 760);
        // A transfer in progress: a package installing slowly.
        m_slowDown();
        phone->slot_dragAddApptoDev({m_packages + QStringLiteral("/Sample iPhone App.ipa")});
        return next();
    case 6: {
        QProgressBar *bar = m_window->transferProgressBar();
        // Visible, and a little way in where the device reports it.
        if (!bar->isVisible() || (bar->value() < 1 && m_waited < 24))
            return again();
        save(QStringLiteral("transfer.png"));
        return next();
    }
    default:
        finish(0);
    }
}
