// The images other parts of the program ask for by name are in the
// resources, readable, and twice as large for 200 %.

#include <QIcon>
#include <QImage>
#include <QMovie>
#include <QTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void namedImagesAtBothScales()
    {
        QStringList names{QStringLiteral(":/images/itemSelection"), QStringLiteral(":/images/itemMouseMove"),
                          QStringLiteral(":/images/genresItemSelection"), QStringLiteral(":/images/genresItemMouseMove"),
                          QStringLiteral(":/images/checkbox"), QStringLiteral(":/images/checkbox_"),
                          QStringLiteral(":/images/checkedbox"), QStringLiteral(":/images/msg_info"),
                          QStringLiteral(":/skins/app_appvoy/default/app_drop"),
                          QStringLiteral(":/skins/app_appvoy/default/app_rise"),
                          QStringLiteral(":/skins/app_appvoy/default/devicetree_apps")};
        for (const auto &[first, last] : {std::pair{10000, 10007}, std::pair{11000, 11004}, std::pair{12000, 12006}}) {
            for (int code = first; code <= last; ++code)
                names << QStringLiteral(":/images/%1").arg(code);
        }
        for (const QString &name : names) {
            const QImage normal(name + QStringLiteral(".png"));
            const QImage doubled(name + QStringLiteral("@2x.png"));
            QVERIFY2(!normal.isNull(), qPrintable(name));
            QCOMPARE(doubled.size(), normal.size() * 2);
        }
    }

    void busyIndicatorPlaysUnderBothNames()
    {
        for (const QString &name : {QStringLiteral(":/images/loading.gif"), QStringLiteral(":/images/loading.mng")}) {
            QMovie movie(name);
            QVERIFY2(movie.isValid(), qPrintable(name));
            QCOMPARE(movie.frameCount(), 12);
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
