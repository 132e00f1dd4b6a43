// The conflict and progress dialogs and the status line.

#include "ProgressDlg.h"
#include "ReplaceDlg.h"
#include "stateLabel.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Clicks a button of a modal dialog once its event loop runs.
void clickLater(QDialog *dialog, const QString &button, bool tickApplyToAll = false)
{
    QTimer::singleShot(0, dialog, [=] {
        if (tickApplyToAll)
            dialog->findChild<QCheckBox *>(QStringLiteral("checkApplyToAll"))->setChecked(true);
        QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
    });
}

} // namespace

class TestAppDialogs : public QObject
{
    Q_OBJECT

private slots:
    void replaceDialogResults_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("choice");
        QTest::newRow("cancel-leaves-choice-0") << "btnCancel" << false << int(QDialog::Rejected) << 0;
        QTest::newRow("replace") << "btnReplace" << false << int(QDialog::Accepted) << 0;
        QTest::newRow("rename") << "btnRename" << false << int(QDialog::Accepted) << 1;
        QTest::newRow("skip-apply-to-all") << "btnSkip" << true << int(QDialog::Accepted) << 2;
    }
    void replaceDialogResults()
    {
        QFETCH(QString, button);
        QFETCH(bool, tick);
        QFETCH(int, result);
        QFETCH(int, choice);
        ReplaceDlg dialog;
        clickLater(&dialog, button, tick);
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(dialog.choice(), choice);
        QCOMPARE(dialog.applyToAll(), tick);
    }

    void progressDialogAbortsOnAnyClose()
    {
        ProgressDlg dialog;
        dialog.show();
        dialog.setProgress(40);
        dialog.close();
        QVERIFY(dialog.aborted());
        dialog.reset();
        QVERIFY(!dialog.aborted());
        QCOMPARE(dialog.progress(), 0);

        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.aborted());
        dialog.reset();
        dialog.show();
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        QVERIFY(dialog.aborted());
        QVERIFY(!dialog.isVisible());
    }

    void statusLine()
    {
        QWidget owner;
        stateLabel label(&owner);
        label.setCounts(QStringLiteral("3"), QStringLiteral("1"));
        QCOMPARE(label.text(), QStringLiteral("Total: 3 App(s); Selected: 1 App(s)"));
    }
};

QTEST_MAIN(TestAppDialogs)
#include "tst_appdialogs.moc"
