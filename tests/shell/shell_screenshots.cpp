// Renders the device tree, the summary rows and the shell's dialogs into
// PNG files, in light and dark palettes, in English and German, at 100 %
// and 200 % scale, on two virtual devices:
//
//   build/tests/shell_screenshots [OUTPUT_FOLDER]    (default: screenshots/shell)
//
// Each scale runs in a child process of its own (QT_SCALE_FACTOR is read
// when the application starts).

#include "DarkPalette.h"
#include "DeviceFixture.h"
#include "DeviceSummaryPanel.h"
#include "DeviceTreeWidget.h"
#include "IPodDeviceInfo.h"
#include "SettingDlg.h"
#include "TulApplication.h"
#include "TulPref.h"
#include "questiondlg.h"
#include "watingdlg.h"

#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// The tree as the main window sets it up: name column stretching, busy
// indicator and eject button in fixed columns.
void setUpLikeTheWindow(DeviceTreeWidget *tree)
{
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    tree->header()->setSectionResizeMode(2, QHeaderView::Fixed);
    tree->setColumnWidth(1, 18);
    tree->setColumnWidth(2, 24);
    tree->resize(220, 260);
}

// What the summary page will hold: picture, name, type and serial, then the rows.
QWidget *summaryPage(const IPodDeviceInfo &device, DeviceSummaryPanel **panel)
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    auto *photo = new QLabel(page);
    photo->setPixmap(QIcon(device.picturePath()).pixmap(QSize(160, 160)));
    photo->setAlignment(Qt::AlignCenter);
    auto *name = new QLabel(QString::fromLocal8Bit(device.name()), page);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto *grid = new QGridLayout;
    auto *type = new QLabel(QCoreApplication::translate("MainWindow", "Type:"), page);
    auto *serial = new QLabel(QCoreApplication::translate("MainWindow", "Serial Number:"), page);
    grid->addWidget(type, 0, 0);
    grid->addWidget(new QLabel(QString::fromUtf8(device.typeName()), page), 0, 1);
    grid->addWidget(serial, 1, 0);
    grid->addWidget(new QLabel(QString::fromUtf8(device.serialNumber()), page), 1, 1);
    grid->setColumnStretch(1, 1);
    *panel = new DeviceSummaryPanel(page);
    const int captions = qMax(qMax(type->sizeHint().width(), serial->sizeHint().width()), (*panel)->captionWidth());
    grid->setColumnMinimumWidth(0, captions);
    (*panel)->setCaptionWidth(captions);
    column->addWidget(photo);
    column->addWidget(name);
    column->addSpacing(12);
    column->addLayout(grid);
    column->addWidget(*panel);
    column->addStretch(1);
    page->resize(460, 420);
    return page;
}

bool save(QWidget *widget, const QString &path)
{
    widget->show();
    QCoreApplication::processEvents();
    if (qobject_cast<QDialog *>(widget))
        widget->adjustSize();
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

int renderAll(const QString &out)
{
    QTemporaryDir config;
    TulPref::openInstance(config.path() + QStringLiteral("/prefs.conf"));
    DeviceFixture fixture({0, 1}, false);
    if (!fixture.ok() || !fixture.startScanning()) {
        std::fprintf(stderr, "virtual devices did not start: %s\n", qPrintable(fixture.error()));
        return 1;
    }
    IPodDeviceInfo devices[2];
    for (int i = 0; i < 2; ++i)
        devices[i].Fill(QByteArray::fromStdString(fixture.id(i)));

    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")) == QLatin1String("2")
        ? QStringLiteral("200") : QStringLiteral("100");
    const QPalette light = qApp->style()->standardPalette();
    bool ok = true;
    for (const QString &language : {QStringLiteral("en"), QStringLiteral("de")}) {
        QLocale::setDefault(QLocale(language));
        TulApplication::instance()->installTranslators();
        for (const QString &theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
            QApplication::setPalette(theme == QLatin1String("light") ? light : TestData::darkPalette());
            const QString prefix = QStringLiteral("%1/%2-%3-%4-").arg(out, language, theme, scale);

            DeviceTreeWidget empty;
            setUpLikeTheWindow(&empty);
            ok &= save(&empty, prefix + QStringLiteral("tree-empty.png"));

            DeviceTreeWidget tree;
            setUpLikeTheWindow(&tree);
            tree.addDevice(devices[0], DeviceTreeWidget::DeviceFunctionApps);
            tree.addDevice(devices[1], DeviceTreeWidget::DeviceFunctionApps);
            tree.startBusyIndicator(QString::fromUtf8(devices[0].identifier()));
            ok &= save(&tree, prefix + QStringLiteral("tree-devices.png"));

            for (int i = 0; i < 2; ++i) {
                DeviceSummaryPanel *panel = nullptr;
                std::unique_ptr<QWidget> page(summaryPage(devices[i], &panel));
                QSignalSpy shown(panel, &DeviceSummaryPanel::statusShown);
                panel->showDevice(devices[i]);
                page->show();
                ok &= shown.wait(10000);
                ok &= save(page.get(), prefix + QStringLiteral("summary-%1.png").arg(i));
            }

            SettingDlg settings;
            ok &= save(&settings, prefix + QStringLiteral("settings.png"));
            watingdlg waiting(watingdlg::ModeLoading);
            ok &= save(&waiting, prefix + QStringLiteral("waiting.png"));
            questiondlg question(questiondlg::ModeRetry,
                                 QCoreApplication::translate("MainWindow",
                                     "Fail to load your device. It may be caused by passcode lock. If so, please "
                                     "enter your passcode and click the \"Retry\" button."),
                                 QString());
            ok &= save(&question, prefix + QStringLiteral("question.png"));
        }
    }
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots/shell");
    if (qEnvironmentVariableIsEmpty("APPSHUTTLE_SHOTS_CHILD")) {
        QCoreApplication app(argc, argv);
        QDir().mkpath(out);
        int failed = 0;
        for (const char *factor : {"1", "2"}) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("APPSHUTTLE_SHOTS_CHILD"), QStringLiteral("1"));
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(factor));
            if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(), {out});
            if (!child.waitForFinished(300000) || child.exitCode() != 0)
                ++failed;
        }
        return failed ? 1 : 0;
    }
    TulApplication app(QStringLiteral("appshuttle-screenshots"), argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    return renderAll(out);
}
