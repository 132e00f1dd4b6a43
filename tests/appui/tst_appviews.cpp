// The app views' drag and drop: what they accept, what a drop installs, the
// files a drag out writes (once, after the drop, inside the drag's folder),
// and the check-box column of the detail view.

#include "AppDragOut.h"
#include "AppDropFiles.h"
#include "AppListView.h"
#include "AppMessages.h"
#include "AppTreeView.h"
#include "DemoPage.h"
#include "DragFileNames.h"
#include "MyMimeData.h"
#include "ProgressDlg.h"
#include "TestData.h"
#include "TulMessageBox.h"
#include "VAppPlist.h"
#include "VDemo.h"
#include "VDemoCatalog.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QMimeData *uriData(const QList<QUrl> &urls)
{
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

// Delivers a drop of data (taken over) on the view as the window system
// would: Qt hands a drop only to the widget that took the drag's entry.
bool dropOn(QAbstractItemView *view, QMimeData *data)
{
    const std::unique_ptr<QMimeData> owned(data);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
    return event.isAccepted();
}

const QString kHostileName = QStringLiteral("../../..\u0007/.evil\u202e/name");

} // namespace

class TestAppViews : public QObject
{
    Q_OBJECT

    std::unique_ptr<DemoPage> m_page;
    QStringList m_questions;
    QStringList m_infos;

    // Loads the demo device of profile with one more app whose name a
    // hostile device could send.
    void loadDemo(int profile)
    {
        m_page.reset(new DemoPage(profile));
        VDemoApp app = VDemoCatalog::generatedApps(1).first();
        app.identifier = QStringLiteral("com.example.hostile");
        app.name = QStringLiteral("Hostile");
        QString error;
        QVERIFY2(VDemo::writeApp(m_page->device().appsDir(0), app, &error), qPrintable(error));
        // The name the device then reports is not one a folder could have.
        const QString info = m_page->device().appsDir(0) + QStringLiteral("/com.example.hostile/Hostile.app/Info.plist");
        const auto plist = VAppPlist::readFile(info);
        QVERIFY(plist);
        VAppPlist::setString(plist.get(), "CFBundleDisplayName", kHostileName);
        QVERIFY(VAppPlist::writeFile(info, plist.get()));
        QVERIFY2(m_page->load(), qPrintable(m_page->error()));
    }

    static QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void init()
    {
        m_questions.clear();
        m_infos.clear();
        TulMessageBox::setAnswerer([this](const TulMessageBox::Request &request) {
            (request.kind == TulMessageBox::Question ? m_questions : m_infos) << request.text;
            return QMessageBox::No;   // the app alone, without its data
        });
    }
    void cleanup()
    {
        TulMessageBox::setAnswerer({});
        m_page.reset();
    }

    void dragsAcceptedAndRefused()
    {
        AppListView icons;
        AppTreeView details;
        QObject outsider;
        const std::unique_ptr<QMimeData> files(uriData({QUrl::fromLocalFile(QStringLiteral("/tmp/a.ipa"))}));
        QMimeData text;
        text.setText(QStringLiteral("a.ipa"));
        QVERIFY(AppDropFiles::acceptable(files.get(), nullptr));
        QVERIFY(AppDropFiles::acceptable(files.get(), &outsider));
        QVERIFY(!AppDropFiles::acceptable(files.get(), &icons));     // its own apps
        QVERIFY(!AppDropFiles::acceptable(files.get(), &details));   // the twin's apps
        QVERIFY(!AppDropFiles::acceptable(&text, nullptr));

        for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(&icons), static_cast<QAbstractItemView *>(&details)}) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &enter);
            QVERIFY(enter.isAccepted());
            QDragLeaveEvent leave;   // Qt forgets the view as the drag's target
            QCoreApplication::sendEvent(view->viewport(), &leave);
            QDragEnterEvent plain(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &plain);
            QVERIFY(!plain.isAccepted());
        }
    }

    void dropsCollectPackagesFromNestedFolders()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(QDir(root).mkpath(QStringLiteral("apps/deeper/deepest")));
        for (const char *name : {"apps/One.ipa", "apps/notes.txt", "apps/deeper/deepest/Two.IPA", "apps/Other.pxl",
                                 "Three.Ipa", "Alone.pxl"})
            QVERIFY(TestData::writeFile(root + QLatin1Char('/') + QLatin1String(name), "PK"));
        AppTreeView view;
        QSignalSpy dropped(&view, &AppTreeView::signalDropInApp);

        QVERIFY(dropOn(&view, uriData({QUrl::fromLocalFile(root + QStringLiteral("/apps")),
                                       QUrl::fromLocalFile(root + QStringLiteral("/Three.Ipa")),
                                       QUrl::fromLocalFile(root + QStringLiteral("/Alone.pxl"))})));
        QCOMPARE(dropped.size(), 1);
        const QStringList expected{root + QStringLiteral("/apps/One.ipa"),
                                   root + QStringLiteral("/apps/deeper/deepest/Two.IPA"),
                                   root + QStringLiteral("/Three.Ipa")};
        QCOMPARE(dropped.at(0).at(0).toStringList(), expected);

        // A .pxl alone, and a list without URLs, install nothing.
        dropOn(&view, uriData({QUrl::fromLocalFile(root + QStringLiteral("/Alone.pxl"))}));
        dropOn(&view, uriData({}));
        QCOMPARE(dropped.size(), 1);
    }

    void hostileNamesStayInsideTheFolder()
    {
        const QStringList names = DragFileNames::packageNames(
            {kHostileName, QStringLiteral(".."), QStringLiteral(".hidden"), QStringLiteral("Same"),
             QStringLiteral("same"), QStringLiteral("\t\n"), QString(300, QChar(0x00e9)), QStringLiteral("C:\\x\\y")});
        QCOMPARE(names.size(), 8);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 8);
        for (const QString &name : names) {
            QVERIFY2(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
                         && !name.startsWith(QLatin1Char('.')) && !name.contains(QLatin1String("..")),
                     qPrintable(name));
            QVERIFY(name.toUtf8().size() < 255);
            for (QChar c : name)
                QVERIFY(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format);
            QVERIFY(name.endsWith(QLatin1String(".ipa")));
        }
        QCOMPARE(names.at(4), QStringLiteral("same (2).ipa"));
    }

    void renderWritesOnceAfterReleaseNotOnCancel()
    {
        loadDemo(0);
        auto owner = std::make_unique<AppListView>();
        AppListView &view = *owner;
        view.setModel(m_page->proxy());
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const int hostile = m_page->proxyRow(kHostileName);
        QVERIFY(hostile >= 0);
        const int other = hostile == 0 ? 1 : 0;
        view.selectionModel()->select(m_page->proxy()->index(hostile, 0), QItemSelectionModel::Select);
        view.selectionModel()->select(m_page->proxy()->index(other, 0), QItemSelectionModel::Select);

        std::unique_ptr<MyMimeData> data(view.dragOut()->prepare());
        QVERIFY(data);
        const QString folder = view.dragOut()->folder();
        const QFileDevice::Permissions mode = QFileInfo(folder).permissions();
        QCOMPARE(int(mode & 0x0077), 0);   // nothing for group and others
        QVERIFY(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

        // The target asks while the button is held: a hover writes nothing.
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        const QList<QByteArray> lines = data->data(QStringLiteral("text/uri-list")).trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        for (const QByteArray &line : lines)   // proper file URLs
            QVERIFY2(line.startsWith("file:///") && !line.startsWith("file:////"), line.constData());
        QVERIFY(filesIn(folder).isEmpty());
        QVERIFY(m_questions.isEmpty());

        // Released: the target reads the data, the packages are written once.
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        const QList<QUrl> urls = data->urls();
        QCOMPARE(m_questions.size(), 1);
        QCOMPARE(filesIn(folder).size(), 2);
        for (const QUrl &url : urls) {
            const QString path = url.toLocalFile();
            QCOMPARE(QFileInfo(path).absolutePath(), folder);
            QVERIFY2(TestData::zipEntries(path).join(QLatin1Char(' ')).contains(QLatin1String("Payload/")),
                     qPrintable(path));
        }
        data->urls();
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(view.dragOut()->exported());
        QVERIFY(!view.dragOut()->progressDialog()->isVisible());
        QCOMPARE(view.dragOut()->progressDialog()->progress(), 100);

        // The next drag removes the files the last target has had; cancelled
        // (Escape), it writes nothing.
        std::unique_ptr<MyMimeData> next(view.dragOut()->prepare());
        QVERIFY(filesIn(folder).isEmpty());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        next->urls();
        next->setDragResult(Qt::IgnoreAction);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        next->urls();
        QVERIFY(filesIn(folder).isEmpty());
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(!next->rendered());

        // The program's end (here: the view's) takes the drag folder along.
        next.reset();
        data.reset();
        owner.reset();
        QVERIFY(!QFileInfo::exists(folder));
    }

    void deviceThatRefusesExportPromisesNothing()
    {
        loadDemo(1);
        QVERIFY(!m_page->handler()->canExportApps());
        AppTreeView view;
        view.setModel(m_page->proxy());
        view.selectionModel()->select(m_page->proxy()->index(0, 1), QItemSelectionModel::Select);
        QVERIFY(!view.dragOut()->prepare());
        const QString version = QString::fromUtf8(m_page->handler()->deviceInfo().firmwareVersion());
        QCOMPARE(m_infos, QStringList{AppMessages::exportNotAllowed(version)});
        QVERIFY(view.dragOut()->currentPaths().isEmpty());
    }

    void checkBoxColumnTogglesRows()
    {
        QStandardItemModel model(3, 3);
        AppTreeView view;
        view.setModel(&model);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto click = [&view](int row, int column) {
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(view.model()->index(row, column)).center());
        };
        click(1, 0);
        click(2, 0);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 2);
        QCOMPARE(view.selectionMode(), QAbstractItemView::MultiSelection);
        click(1, 0);   // toggles off
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
        click(0, 1);   // elsewhere: the configured mode again, one row
        QCOMPARE(view.selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
        QVERIFY(view.selectionModel()->isRowSelected(0, QModelIndex()));
    }
};

QTEST_MAIN(TestAppViews)
#include "tst_appviews.moc"
