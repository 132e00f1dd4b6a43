#include "Tul.h"
#include "TulMessageBox.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

// Message boxes and folder choosers, answered through their seams and, once
// each, by driving the real box.
class TestTulMessageBox : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        TulMessageBox::setAnswerer(nullptr);
        Tul::setFolderChooser(nullptr);
    }

    void questionAnsweredThroughSeam_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("expected");
        QTest::newRow("yes") << int(QMessageBox::Yes) << int(QMessageBox::Yes);
        QTest::newRow("no-answer-gives-default") << int(QMessageBox::NoButton) << int(QMessageBox::No);
        QTest::newRow("button-not-on-box-gives-default") << int(QMessageBox::Ok) << int(QMessageBox::No);
    }

    void questionAnsweredThroughSeam()
    {
        QFETCH(int, answer);
        QFETCH(int, expected);
        QWidget parent;
        TulMessageBox::Request seen;
        int calls = 0;
        TulMessageBox::setAnswerer([&](const TulMessageBox::Request &request) {
            seen = request;
            ++calls;
            return QMessageBox::StandardButton(answer);
        });

        const auto result = TulMessageBox::question(QStringLiteral("Delete \"Maps\"?"), QString(),
                                                    QMessageBox::Yes | QMessageBox::No, &parent,
                                                    QMessageBox::No, true);
        QCOMPARE(int(result), expected);
        QCOMPARE(calls, 1);
        QCOMPARE(seen.kind, TulMessageBox::Question);
        QCOMPARE(seen.text, QStringLiteral("Delete \"Maps\"?"));
        QCOMPARE(seen.parent, &parent);
        QCOMPARE(seen.defaultButton, QMessageBox::No);
        QVERIFY(seen.buttons.testFlag(QMessageBox::Yes) && seen.buttons.testFlag(QMessageBox::No));

        // An information box has only Ok, whatever the answerer says.
        QCOMPARE(TulMessageBox::info(QStringLiteral("The file is in use."), QString(), nullptr, true),
                 QMessageBox::Ok);
        QCOMPARE(calls, 2);
        QCOMPARE(seen.kind, TulMessageBox::Info);
    }

    void realQuestionDefaultsToNoAndShowsPlainText()
    {
        QMessageBox::StandardButton defaultSeen = QMessageBox::NoButton;
        Qt::TextFormat formatSeen = Qt::AutoText;
        QString titleSeen;
        onNextBox([&](QMessageBox *box) {
            defaultSeen = box->standardButton(box->defaultButton());
            formatSeen = box->textFormat();
            titleSeen = box->windowTitle();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        // A name from a device holding markup must not be rendered.
        const auto result = TulMessageBox::question(QStringLiteral("Delete \"<b>x</b>\"?"), QString());
        QCOMPARE(result, QMessageBox::No);
        QCOMPARE(defaultSeen, QMessageBox::No);
        QCOMPARE(formatSeen, Qt::PlainText);
        QCOMPARE(titleSeen, QStringLiteral("AppShuttle"));
    }

    void folderChooser()
    {
        QTemporaryDir dir;
        QString askedTitle, askedStart;
        QString answer = dir.path();
        Tul::setFolderChooser([&](const QString &title, const QString &start) {
            askedTitle = title;
            askedStart = start;
            return answer;
        });

        QString out = QStringLiteral("unchanged");
        QVERIFY(Tul::getFolderPath(nullptr, nullptr, QStringLiteral("Please select folder"),
                                   QStringLiteral("/no/such/folder"), out));
        QCOMPARE(out, dir.path());
        QCOMPARE(askedTitle, QStringLiteral("Please select folder"));
        QCOMPARE(askedStart, QDir::homePath());   // a start folder that is gone falls back

        // A callback can refuse the choice; the out folder is then left alone.
        out = QStringLiteral("unchanged");
        QVERIFY(!Tul::getFolderPath([](const QString &) { return false; }, nullptr, QString(),
                                    dir.path(), out));
        QCOMPARE(out, QStringLiteral("unchanged"));
        QCOMPARE(askedStart, dir.path());

        answer.clear();   // Cancel
        QVERIFY(!Tul::getFolderPath(nullptr, nullptr, QString(), dir.path(), out));
        answer = dir.path() + QStringLiteral("/vanished");
        QVERIFY(!Tul::getFolderPath(nullptr, nullptr, QString(), dir.path(), out));
        QCOMPARE(out, QStringLiteral("unchanged"));
    }

    void privateTempFolder()
    {
        const QString path = Tul::tempPath();
        QVERIFY(path.startsWith(QDir::tempPath() + QLatin1Char('/')));
        QVERIFY(!path.endsWith(QLatin1Char('/')));
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_uid, ::getuid());
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
        QCOMPARE(Tul::tempPath(), path);
    }

private:
    // Runs action on the next modal box that opens.
    static void onNextBox(std::function<void(QMessageBox *)> action);
};

void TestTulMessageBox::onNextBox(std::function<void(QMessageBox *)> action)
{
    QTimer::singleShot(0, qApp, [action] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            // Not shown yet: look again on the next pass.
            onNextBox(action);
            return;
        }
        action(box);
    });
}

QTEST_MAIN(TestTulMessageBox)
#include "tst_tulmessagebox.moc"
