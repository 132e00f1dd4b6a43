#include "TestData.h"
#include "TulGettingStartedWeb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

class TestTulGettingStartedWeb : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        pageFolder = dir->path() + QStringLiteral("/devicegettingstartedweb");
        QVERIFY(TestData::writeFile(pageFolder + QStringLiteral("/GettingStarted.html"),
                                    "<html><body><h1>Welcome aboard</h1><img src=\"pic.png\">"
                                    "<a href=\"https://example.invalid/\">more</a></body></html>"));
        QVERIFY(TestData::writeFile(dir->path() + QStringLiteral("/secret.html"), "<p>outside</p>"));
    }

    void showsTheLocalPage()
    {
        QWidget parent;
        auto *view = TulGettingStartedWeb::createWebView(&parent, QStringLiteral("<p>Loading</p>"));
        view->setPageDir(pageFolder);
        // The initial text stays until folder and name are both known.
        QVERIFY(view->pagePath().isEmpty());
        QCOMPARE(view->toPlainText(), QStringLiteral("Loading"));
        view->setPageName(QStringLiteral("GettingStarted.html"));

        QCOMPARE(view->pagePath(), pageFolder + QStringLiteral("/GettingStarted.html"));
        QVERIFY2(view->toPlainText().contains(QStringLiteral("Welcome aboard")),
                 qPrintable(view->toPlainText()));
    }

    void pageNameCannotLeaveTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << QStringLiteral("../secret.html");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd");
        QTest::newRow("backslash") << QStringLiteral("..\\secret.html");
        QTest::newRow("missing") << QStringLiteral("Missing.html");
    }

    void pageNameCannotLeaveTheFolder()
    {
        QFETCH(QString, name);
        TulGettingStartedWeb view;
        view.setPageDir(pageFolder);
        view.setPageName(name);
        QVERIFY(view.pagePath().isEmpty());
        QVERIFY(!view.toPlainText().contains(QStringLiteral("outside")));
        QVERIFY(view.toPlainText().contains(QStringLiteral("AppShuttle")));   // the built-in text
        if (!name.startsWith(QLatin1String("Missing")))
            QVERIFY(view.pageName().isEmpty());
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString pageFolder;
};

QTEST_MAIN(TestTulGettingStartedWeb)
#include "tst_tulgettingstartedweb.moc"
