// The search box: what it emits for typing and clearing, and the column ticks.

#include "FilterCtrl.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

class TestFilterCtrl : public QObject
{
    Q_OBJECT

private slots:
    void typingTrimsAndClearingEmitsOnce()
    {
        FilterCtrl filter;
        filter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&filter));
        auto *clear = filter.findChild<QToolButton *>(QStringLiteral("btnEditclose"));
        QVERIFY(clear);
        QVERIFY(!clear->isVisible());
        QSignalSpy texts(&filter, &FilterCtrl::filterTextChanged);

        QTest::keyClicks(filter.lineEdit(), QStringLiteral("  maps "));
        QCOMPARE(texts.last().at(0).toString(), QStringLiteral("maps"));
        QVERIFY(clear->isVisible());

        texts.clear();
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts.at(0).at(0).toString(), QString());
        QVERIFY(filter.lineEdit()->text().isEmpty());
        QVERIFY(!clear->isVisible());

        // Already empty: still one empty text.
        texts.clear();
        filter.filterClear(false);
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts.at(0).at(0).toString(), QString());
    }

    void columnTicks()
    {
        FilterCtrl filter;
        QAction *name = filter.addColumnAction(QStringLiteral("Name"), 1);
        QAction *genre = filter.addColumnAction(QStringLiteral("Genre"), 4);
        QSignalSpy columns(&filter, &FilterCtrl::changeFilterColumn);

        genre->trigger();
        QCOMPARE(columns.last().at(0).toInt(), 4);
        name->trigger();
        QVERIFY(name->isChecked() && !genre->isChecked());
        name->trigger();   // untick: all columns
        QCOMPARE(columns.last().at(0).toInt(), -1);

        filter.checkAction(4);
        QVERIFY(genre->isChecked() && !name->isChecked());
        filter.checkAction(-2);   // refused, nothing changes
        QVERIFY(genre->isChecked());
        filter.checkAction(-1);
        QVERIFY(!genre->isChecked() && !name->isChecked());
    }
};

QTEST_MAIN(TestFilterCtrl)
#include "tst_filterctrl.moc"
