// The icon view's tiles and the document status cell.

#include "AppModel.h"
#include "DocModel.h"
#include "DocStatusDelegate.h"
#include "DocStatusEditor.h"
#include "listViewItemDelegate.h"

#include <QApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <QTest>

namespace {

// A paint device that keeps what was drawn: texts with their rectangles
// and the sizes of the pixmaps.
class RecordingEngine : public QPaintEngine
{
public:
    QStringList texts;
    QList<QSize> pixmaps;

    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &pixmap, const QRectF &) override { pixmaps << pixmap.size(); }
    void drawTextItem(const QPointF &, const QTextItem &item) override { texts << item.text(); }
    Type type() const override { return QPaintEngine::User; }
};

class RecordingDevice : public QPaintDevice
{
public:
    mutable RecordingEngine engine;
    QPaintEngine *paintEngine() const override { return &engine; }
protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return 400;
        case PdmHeight: return 400;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        case PdmDepth: return 32;
        default: return 0;
        }
    }
};

} // namespace

class TestDelegates : public QObject
{
    Q_OBJECT

private slots:
    void tileElidesNameAndDrawsOnlySelection()
    {
        QStandardItemModel model(1, 1);
        const QString longName = QStringLiteral("A Remarkably Long Application Name For Tiles");
        QImage icon(80, 80, QImage::Format_ARGB32);
        icon.fill(Qt::red);
        model.setData(model.index(0, 0), QPixmap::fromImage(icon), Qt::DecorationRole);
        model.setData(model.index(0, 0), longName, AppModel::NameRole);
        model.setData(model.index(0, 0), QStringLiteral("Games"), AppModel::GenreRole);
        listViewItemDelegate delegate(nullptr, QSize(110, 130));
        QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), model.index(0, 0)), QSize(110, 130));

        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 110, 130);
        option.state = QStyle::State_Enabled | QStyle::State_MouseOver;
        RecordingDevice hovered;
        {
            QPainter painter(&hovered);
            delegate.paint(&painter, option, model.index(0, 0));
        }
        // No hover image on this platform: the icon is the only pixmap.
        QCOMPARE(hovered.engine.pixmaps, QList<QSize>{QSize(80, 80)});
        QCOMPARE(hovered.engine.texts.size(), 2);
        const QString shownName = hovered.engine.texts.at(0);
        QVERIFY2(shownName.endsWith(QChar(0x2026)), qPrintable(shownName));
        QFont font = QApplication::font();
        font.setPixelSize(12);
        QVERIFY(QFontMetrics(font).horizontalAdvance(shownName) <= 100);
        QCOMPARE(hovered.engine.texts.at(1), QStringLiteral("Games"));

        option.state = QStyle::State_Enabled | QStyle::State_Selected;
        RecordingDevice selected;
        {
            QPainter painter(&selected);
            delegate.paint(&painter, option, model.index(0, 0));
        }
        QCOMPARE(selected.engine.pixmaps, (QList<QSize>{QSize(110, 130), QSize(80, 80)}));
    }

    void statusEditorModesAndStyles()
    {
        QStandardItemModel model(2, 4);
        for (int row = 0; row < 2; ++row) {
            model.setData(model.index(row, 3), QStringLiteral("12.00 KB"));
            model.setData(model.index(row, 3), qint64(1000 + row), DocModel::ItemRole);
            model.setData(model.index(row, 3), 0, DocModel::TaskStateRole);
        }
        QTreeView view;
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setRootIsDecorated(false);
        view.resize(800, 200);
        auto *delegate = new DocStatusDelegate(&view);
        view.setModel(&model);
        view.setItemDelegateForColumn(3, delegate);
        view.openPersistentEditor(model.index(0, 3));
        view.openPersistentEditor(model.index(1, 3));
        QCOMPARE(delegate->editorCount(), 2);
        DocStatusEditor *editor = delegate->editorFor(1000);
        QVERIFY(editor);
        QCOMPARE(editor->property("statusLabelStyle").toString(), QString());
        editor->setProperty("statusLabelStyle", QStringLiteral("color: palette(text);"));
        editor->setProperty("statusLabelSelectedStyle", QStringLiteral("color: palette(highlighted-text);"));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        // An upload at 37 %.
        model.setData(model.index(0, 3), 1, DocModel::TaskStateRole);
        model.setData(model.index(0, 3), 37, DocModel::TaskProgressRole);
        QTRY_VERIFY(editor->progressShown());
        QVERIFY(!editor->labelShown());
        QCOMPARE(editor->progressValue(), 37);
        QCOMPARE(editor->progressText(), QStringLiteral("Adding (37% finished)"));
        // A download shows the saving text.
        model.setData(model.index(0, 3), 2, DocModel::TaskStateRole);
        QTRY_COMPARE(editor->progressText(), QStringLiteral("Saving (37% finished)"));
        // Done: the cell's text again.
        model.setData(model.index(0, 3), 0, DocModel::TaskStateRole);
        QTRY_VERIFY(editor->labelShown());
        QVERIFY(!editor->progressShown());
        QCOMPARE(editor->labelText().trimmed(), QStringLiteral("12.00 KB"));

        view.setCurrentIndex(model.index(0, 0));
        QTRY_COMPARE(editor->labelStyleSheet(), QStringLiteral("color: palette(highlighted-text);"));
        view.setCurrentIndex(model.index(1, 0));
        QTRY_COMPARE(editor->labelStyleSheet(), QStringLiteral("color: palette(text);"));

        // A removed row takes its editor out of the map.
        model.removeRow(1);
        QTRY_COMPARE(delegate->editorCount(), 1);
        QVERIFY(!delegate->editorFor(1001));
    }
};

QTEST_MAIN(TestDelegates)
#include "tst_delegates.moc"
