// The device tree and the summary rows on two virtual devices (an iPhone on
// iOS 8 and a current iPad), reached through the device link.

#include "DeviceFixture.h"
#include "DeviceStatus.h"
#include "DeviceSummaryPanel.h"
#include "DeviceTreeWidget.h"
#include "IPodDeviceInfo.h"
#include "TulPref.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestDeviceWidgets : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rowsAndSelection();
    void busyIndicatorFollowsStartAndStop();
    void ejectFromRowButtonAndMenuAction();
    void summaryShowsModelStorageAndBattery();

private:
    IPodDeviceInfo record(int index) const;
    QString id(int index) const { return QString::fromStdString(fixture->id(index)); }

    std::unique_ptr<DeviceFixture> fixture;
    std::unique_ptr<QTemporaryDir> prefs;
};

void TestDeviceWidgets::init()
{
    prefs = std::make_unique<QTemporaryDir>();
    TulPref::openInstance(prefs->path() + QStringLiteral("/prefs.conf"));
    fixture = std::make_unique<DeviceFixture>(std::vector<int>{0, 1});
    QVERIFY2(fixture->ok(), qPrintable(fixture->error()));
    QVERIFY(fixture->startScanning());
}

void TestDeviceWidgets::cleanup()
{
    fixture.reset();
}

IPodDeviceInfo TestDeviceWidgets::record(int index) const
{
    IPodDeviceInfo info;
    info.Fill(QByteArray::fromStdString(fixture->id(index)));
    return info;
}

void TestDeviceWidgets::rowsAndSelection()
{
    DeviceTreeWidget tree;
    QSignalSpy apps(&tree, &DeviceTreeWidget::appsSelectChanged);
    QSignalSpy device(&tree, &DeviceTreeWidget::selectionDevice);
    QSignalSpy start(&tree, &DeviceTreeWidget::getStartWeb);

    // The placeholder alone, and selecting it asks for the getting-started page only.
    QCOMPARE(tree.topLevelItemCount(), 1);
    QTreeWidgetItem *placeholder = tree.topLevelItem(0);
    QCOMPARE(placeholder->data(0, DeviceTreeWidget::NodeTypeRole).toInt(), -1);
    QCOMPARE(placeholder->data(0, Qt::UserRole).toString(), QStringLiteral("default"));
    QVERIFY(!placeholder->text(0).isEmpty());
    tree.selectFirstRow();
    QCOMPARE(start.count(), 1);
    QCOMPARE(apps.count() + device.count(), 0);

    // A device replaces the placeholder and its Apps row becomes current.
    const IPodDeviceInfo phone = record(0);
    tree.addDevice(phone, DeviceTreeWidget::DeviceFunctionApps);
    QCOMPARE(tree.topLevelItemCount(), 1);
    QTreeWidgetItem *row = tree.deviceItem(id(0));
    QVERIFY(row);
    QCOMPARE(row->text(0), fixture->profile(0).name);
    QCOMPARE(row->data(0, DeviceTreeWidget::NodeTypeRole).toInt(), 0);
    QVERIFY(!row->data(0, Qt::DecorationRole).isNull());
    QCOMPARE(row->childCount(), 1);
    QCOMPARE(row->child(0)->data(0, DeviceTreeWidget::NodeTypeRole).toInt(), 1);
    QCOMPARE(row->child(0)->data(0, DeviceTreeWidget::DeviceIdRole).toString(), id(0));
    QCOMPARE(tree.currentItem(), row->child(0));
    QCOMPARE(apps.count(), 1);
    QCOMPARE(apps.at(0).at(0).toString(), id(0));
    auto *eject = qobject_cast<QPushButton *>(tree.itemWidget(row, 2));
    QVERIFY(eject);
    QCOMPARE(eject->objectName(), QStringLiteral("eject_button"));
    QCOMPARE(eject->property("serial").toString(), id(0));
    QVERIFY(!eject->toolTip().isEmpty());

    // Functions without Apps add nothing.
    tree.addDevice(record(1), 0);
    QCOMPARE(tree.topLevelItemCount(), 1);

    tree.addDevice(record(1), DeviceTreeWidget::DeviceFunctionApps);
    QCOMPARE(tree.topLevelItemCount(), 2);
    tree.setCurrentItem(row);
    QCOMPARE(device.count(), 1);
    QCOMPARE(device.at(0).at(0).toString(), id(0));
    // The eject glyph and the Apps picture stay legible on a selected row.
    const auto glyph = [](const QIcon &icon, QIcon::Mode mode = QIcon::Normal) {
        const QImage image = icon.pixmap(16, mode).toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 255)
                    return QColor(image.pixel(x, y));
        return QColor();
    };
    const auto ejectIcon = [&tree](QTreeWidgetItem *item) {
        return qobject_cast<QPushButton *>(tree.itemWidget(item, 2))->icon();
    };
    const QColor selectedText = tree.palette().color(QPalette::HighlightedText);
    QCOMPARE(glyph(ejectIcon(row)), selectedText);
    QCOMPARE(glyph(ejectIcon(tree.deviceItem(id(1)))), tree.palette().color(QPalette::Text));
    const QIcon appsIcon = row->child(0)->data(0, Qt::DecorationRole).value<QIcon>();
    QCOMPARE(glyph(appsIcon, QIcon::Selected), selectedText);
    QVERIFY(glyph(appsIcon) != selectedText);

    // Removal: unknown identifiers change nothing; the last one brings the placeholder back.
    tree.removeDevice(QStringLiteral("7-unknown"));
    QCOMPARE(tree.topLevelItemCount(), 2);
    tree.selectFirstRow();
    tree.removeDevice(id(0));
    QCOMPARE(tree.topLevelItemCount(), 1);
    QVERIFY(!tree.deviceItem(id(0)));
    tree.removeDevice(id(1));
    QCOMPARE(tree.topLevelItemCount(), 1);
    QCOMPARE(tree.topLevelItem(0)->data(0, DeviceTreeWidget::NodeTypeRole).toInt(), -1);
    QCOMPARE(start.count(), 1);
}

void TestDeviceWidgets::busyIndicatorFollowsStartAndStop()
{
    DeviceTreeWidget tree;
    tree.addDevice(record(0), DeviceTreeWidget::DeviceFunctionApps);
    QTreeWidgetItem *row = tree.deviceItem(id(0));

    tree.startBusyIndicator(id(0));
    QPointer<QWidget> first = tree.itemWidget(row, 1);
    QVERIFY(qobject_cast<QLabel *>(first.data()));
    // Starting again replaces the label: one indicator only.
    tree.startBusyIndicator(id(0));
    QTRY_VERIFY(first.isNull());
    QVERIFY(qobject_cast<QLabel *>(tree.itemWidget(row, 1)));
    QCOMPARE(tree.findChildren<QLabel *>(QStringLiteral("busy_indicator")).size(), 1);

    tree.stopBusyIndicator(id(0));
    QVERIFY(!tree.itemWidget(row, 1));
    // Unknown devices are ignored.
    tree.startBusyIndicator(QStringLiteral("7-unknown"));
    tree.stopBusyIndicator(QStringLiteral("7-unknown"));
    QTRY_COMPARE(tree.findChildren<QLabel *>(QStringLiteral("busy_indicator")).size(), 0);
}

// The row's button and an Eject menu action name the device the same way;
// the device link then reports the device removed.
void TestDeviceWidgets::ejectFromRowButtonAndMenuAction()
{
    DeviceTreeWidget tree;
    tree.addDevice(record(0), DeviceTreeWidget::DeviceFunctionApps);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));

    auto *button = qobject_cast<QPushButton *>(tree.itemWidget(tree.deviceItem(id(0)), 2));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY(fixture->id(0).empty());
    QVERIFY(!fixture->id(1).empty());

    QAction action;
    action.setProperty("serial", id(1));
    connect(&action, &QAction::triggered, &tree, &DeviceTreeWidget::on_ejectDevice);
    action.trigger();
    QTRY_VERIFY(fixture->id(1).empty());
}

void TestDeviceWidgets::summaryShowsModelStorageAndBattery()
{
    DeviceSummaryPanel panel;
    QSignalSpy shown(&panel, &DeviceSummaryPanel::statusShown);
    auto *model = panel.findChild<QLabel *>(QStringLiteral("modelLabel"));
    auto *ios = panel.findChild<QLabel *>(QStringLiteral("iosVersionLabel"));
    auto *storage = panel.findChild<QLabel *>(QStringLiteral("storageLabel"));
    auto *bar = panel.findChild<QProgressBar *>(QStringLiteral("storageBar"));
    auto *battery = panel.findChild<QLabel *>(QStringLiteral("batteryLabel"));
    QVERIFY(model && ios && storage && bar && battery);
    panel.show();

    const VDeviceProfile &pad = fixture->profile(1);
    panel.showDevice(record(1));
    QCOMPARE(model->text(), QStringLiteral("iPad (10th generation)"));
    QCOMPARE(ios->text(), pad.productVersion);
    QVERIFY(shown.wait());

    // The data partition: capacity less the system's share, as the device reports it.
    const double total = double(pad.capacityBytes - (4ull << 30));
    const double used = total - double(pad.freeBytes);
    const QLocale locale;
    QVERIFY2(storage->text().contains(locale.formattedDataSize(qint64(pad.freeBytes), 1, QLocale::DataSizeTraditionalFormat))
                 && storage->text().contains(locale.formattedDataSize(qint64(used), 1, QLocale::DataSizeTraditionalFormat)),
             qPrintable(storage->text()));
    QCOMPARE(bar->value(), int(used / total * bar->maximum()));
    QVERIFY(battery->isVisible());
    QVERIFY2(battery->text().startsWith(QString::number(pad.batteryPercent)), qPrintable(battery->text()));

    // A device that reports no battery hides the row; unknown storage says so.
    DeviceStatus none;
    panel.setStatus(none);
    QVERIFY(!battery->isVisible());
    QCOMPARE(bar->value(), 0);
    QVERIFY(!storage->text().isEmpty());

    // The answer for a device no longer shown is dropped.
    shown.clear();
    panel.showDevice(record(1));
    panel.showDevice(record(0));
    // The type ("iPhone 5S") names this model already: no second row says it.
    QVERIFY(model->isHidden());
    QVERIFY(shown.wait());
    QVERIFY2(storage->text().contains(locale.formattedDataSize(qint64(fixture->profile(0).freeBytes), 1,
                                                               QLocale::DataSizeTraditionalFormat)),
             qPrintable(storage->text()));
    const DeviceStatus gone = DeviceStatus::read("7-no-such-device");
    QVERIFY(!gone.storageKnown);
    QCOMPARE(gone.batteryPercent, -1);
}

QTEST_MAIN(TestDeviceWidgets)
#include "tst_devicewidgets.moc"
