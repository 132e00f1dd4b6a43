#include "TulGettingStartedWeb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

class TestTulGettingStartedWeb : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void showsTheLocalPage();
    void missingPageGivesBuiltInText();
    void pageNameCannotLeaveTheFolder_data();
    void pageNameCannotLeaveTheFolder();

private:
    static void write(const QString &path, const QByteArray &content);
    std::unique_ptr<QTemporaryDir> dir;
    QString pageFolder;
};

void TestTulGettingStartedWeb::write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestTulGettingStartedWeb::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    pageFolder = dir->path() + QStringLiteral("/devicegettingstartedweb");
    QVERIFY(QDir().mkpath(pageFolder));
    write(pageFolder + QStringLiteral("/GettingStarted.html"),
          "<html><body><h1>Welcome aboard</h1><img src=\"pic.png\">"
          "<a href=\"https://example.invalid/\">more</a></body></html>");
    write(dir->path() + QStringLiteral("/secret.html"), "<p>outside</p>");
}

void TestTulGettingStartedWeb::showsTheLocalPage()
{
    QWidget parent;
    auto *view = TulGettingStartedWeb::createWebView(&parent, QStringLiteral("<p>Loading</p>"));
    QCOMPARE(view->parent(), &parent);
    view->setPageDir(pageFolder);
    // The initial text stays until folder and name are both known.
    QVERIFY(view->pagePath().isEmpty());
    QCOMPARE(view->toPlainText(), QStringLiteral("Loading"));
    view->setPageName(QStringLiteral("GettingStarted.html"));

    QCOMPARE(view->pagePath(), pageFolder + QStringLiteral("/GettingStarted.html"));
    QVERIFY2(view->toPlainText().contains(QStringLiteral("Welcome aboard")),
             qPrintable(view->toPlainText()));
    // Relative references resolve inside the page's folder.
    QCOMPARE(view->source(), QUrl::fromLocalFile(view->pagePath()));
    QVERIFY(view->openExternalLinks());
}

void TestTulGettingStartedWeb::missingPageGivesBuiltInText()
{
    TulGettingStartedWeb view;
    view.setPageDir(pageFolder);
    view.setPageName(QStringLiteral("Missing.html"));
    QVERIFY(view.pagePath().isEmpty());
    QVERIFY(view.toPlainText().contains(QStringLiteral("AppShuttle")));

    // A relative folder that exists nowhere falls to the built-in text as well.
    TulGettingStartedWeb relative;
    relative.setPageDir(QStringLiteral("no-such-folder"));
    relative.setPageName(QStringLiteral("GettingStarted.html"));
    QVERIFY(relative.pagePath().isEmpty());
    QVERIFY(!relative.toPlainText().isEmpty());
}

void TestTulGettingStartedWeb::pageNameCannotLeaveTheFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << QStringLiteral("../secret.html");
    QTest::newRow("absolute") << QStringLiteral("/etc/passwd");
    QTest::newRow("backslash") << QStringLiteral("..\\secret.html");
}

void TestTulGettingStartedWeb::pageNameCannotLeaveTheFolder()
{
    QFETCH(QString, name);
    TulGettingStartedWeb view;
    view.setPageDir(pageFolder);
    view.setPageName(name);
    QVERIFY(view.pagePath().isEmpty());
    QVERIFY(!view.toPlainText().contains(QStringLiteral("outside")));
    QVERIFY(view.pageName().isEmpty());
}

QTEST_MAIN(TestTulGettingStartedWeb)
#include "tst_tulgettingstartedweb.moc"
