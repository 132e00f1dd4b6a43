#include "WineRegistry.h"

#include <QtTest>

namespace {

// Written the way Wine writes its files (escapes, continuation lines,
// CurrentControlSet as a link); the last line has no newline.
const QByteArray kSystemReg = QByteArrayLiteral(
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n\n"
    "#arch=win64\n\n"
    "[Software\\\\Apple Computer, Inc.\\\\iTunes] 1600000000\n"
    "#time=1d6a1b2c3d4e5f6\n"
    "@=\"default\"\n"
    "\"Path\"=\"C:\\\\Program Files\\\\iTunes\\\\\"\n"
    "\"Quoted \\\"name\\\"\"=\"caf\\x00e9 \\\"q\\\" tab\\tend\\101\"\n"
    "\"InstalledLangID\"=dword:00000809\n"
    "\"Expand\"=str(2):\"%ProgramFiles%\\\\iTunes\"\n"
    "\"ExpandHex\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,\\\n"
    "  6f,00,74,00,25,00,00,00\n"
    "\"Multi\"=str(7):\"one\\0two\\0\"\n"
    "\"Bin\"=hex:de,ad,be,ef\n"
    "\"Big\"=hex(b):01,00,00,00,02,00,00,00\n"
    "\"BadDword\"=dword:123456789\n"
    "\"Unterminated\"=\"abc\n"
    "\"BadHex\"=hex:zz,01\n\n"
    "[System\\\\ControlSet001\\\\Control\\\\Session Manager\\\\Environment] 1600000000\n"
    "\"windir\"=\"C:\\\\windows\"\n\n"
    "[System\\\\CurrentControlSet] 1600000000\n"
    "#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,00,5c,00,\\\n"
    "  4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,74,00,65,00,\\\n"
    "  6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,00,74,00,30,00,\\\n"
    "  30,00,31,00\n\n"
    "[Software\\\\Last] 1600000000\n"
    "\"Tail\"=dword:0000002a");

} // namespace

class tst_WineRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(reg.loadData(kSystemReg)); }

    void values()
    {
        const QString key = QStringLiteral("SOFTWARE\\apple computer, inc.\\ITUNES");
        QCOMPARE(reg.value(key, QString())->text, QStringLiteral("default"));
        QCOMPARE(reg.value(key, QStringLiteral("path"))->text,
                 QStringLiteral("C:\\Program Files\\iTunes\\"));
        const auto quoted = reg.value(key, QStringLiteral("Quoted \"name\""));
        QCOMPARE(quoted->text, QStringLiteral("caf\u00e9 \"q\" tab\tendA"));
        QCOMPARE(reg.value(key, QStringLiteral("InstalledLangID"))->number, 2057u);
        const auto expand = reg.value(key, QStringLiteral("Expand"));
        QCOMPARE(expand->type, quint32(WineRegistry::Value::ExpandString));
        QCOMPARE(expand->text, QStringLiteral("%ProgramFiles%\\iTunes"));
        QCOMPARE(reg.value(key, QStringLiteral("ExpandHex"))->text, QStringLiteral("%SystemRoot%"));
        QCOMPARE(reg.value(key, QStringLiteral("Multi"))->list,
                 QStringList({QStringLiteral("one"), QStringLiteral("two")}));
        QCOMPARE(reg.value(key, QStringLiteral("Bin"))->bytes, QByteArray("\xde\xad\xbe\xef"));
        QCOMPARE(reg.value(key, QStringLiteral("Big"))->number, 0x200000001ull);
        QCOMPARE(reg.value(QStringLiteral("Software\\Last"), QStringLiteral("Tail"))->number, 42u);
        // CurrentControlSet is a link to ControlSet001.
        const auto windir = reg.value(
            QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\Environment"),
            QStringLiteral("WINDIR"));
        QVERIFY(windir);
        QCOMPARE(windir->text, QStringLiteral("C:\\windows"));
    }

    void damagedOrMissingValuesAreAbsent()
    {
        const QString key = QStringLiteral("Software\\Apple Computer, Inc.\\iTunes");
        for (const char *name : {"BadDword", "Unterminated", "BadHex", "Nope", "windir"})
            QVERIFY2(!reg.value(key, QLatin1String(name)), name);
        QVERIFY(!reg.value(QStringLiteral("Software\\Apple"), QString()));
        QVERIFY(!reg.hasKey(QStringLiteral("Software\\Apple")));
    }

    void rejectsWhatIsNoRegistry_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("regedit-export") << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\x]\n");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01", 4);
    }
    void rejectsWhatIsNoRegistry()
    {
        QFETCH(QByteArray, data);
        QVERIFY(!reg.loadData(data));
        QVERIFY(reg.isEmpty());
        QVERIFY(!reg.load(QStringLiteral("/nonexistent/system.reg")));
    }

private:
    WineRegistry reg;
};

QTEST_GUILESS_MAIN(tst_WineRegistry)
#include "tst_WineRegistry.moc"
