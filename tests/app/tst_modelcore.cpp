// The models in a QCoreApplication, as the command line runs them: no
// pixmap or icon is made, decorations come as plain images.

#include "AppHandler.h"
#include "AppModel.h"
#include "DocModel.h"
#include "ZAppInfoItem.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QImage>
#include <QTest>

class TestModelCore : public QObject
{
    Q_OBJECT

private slots:
    void decorationsAreImages()
    {
        QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
        AppHandler handler("devC");
        AppModel apps(&handler);
        DocModel docs(&apps);
        QAbstractItemModelTester appTester(&apps, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester docTester(&docs, QAbstractItemModelTester::FailureReportingMode::QtTest);

        AppInfoItem app;
        app.appId = QStringLiteral("com.a");
        app.icon = QImage(100, 100, QImage::Format_ARGB32);
        app.icon.fill(Qt::green);
        DocItemInfo doc;
        doc.name = QStringLiteral("a.txt");
        doc.isFile = 1;
        app.documents << doc;
        AppInfoItemMap map;
        map.insert(app.appId, app);
        emit handler.data_loadcompleted(map);

        const QVariant icon = apps.index(0, 0).data(Qt::DecorationRole);
        QCOMPARE(icon.userType(), int(QMetaType::QImage));
        QCOMPARE(icon.value<QImage>().size(), QSize(80, 80));
        QVERIFY(!apps.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());

        DocModel::setIconProvider([](const QString &) {
            QImage image(32, 32, QImage::Format_ARGB32);
            image.fill(Qt::red);
            return image;
        });
        docs.setCurrentApp(apps.itemAt(0));
        const QVariant docIcon = docs.index(0, 0).data(Qt::DecorationRole);
        DocModel::setIconProvider(nullptr);
        QCOMPARE(docIcon.userType(), int(QMetaType::QImage));
        QCOMPARE(docIcon.value<QImage>().size(), QSize(16, 16));
    }
};

QTEST_GUILESS_MAIN(TestModelCore)
#include "tst_modelcore.moc"
