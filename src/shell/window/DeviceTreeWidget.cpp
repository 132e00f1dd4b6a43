#include "DeviceTreeWidget.h"

#include "DiagLog.h"
#include "IPodDeviceInfo.h"
#include "MovieFrames.h"
#include "TulSkin.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr QSize kBusySize(16, 16);
}

DeviceTreeWidget::DeviceTreeWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    // Name and icon, busy indicator, eject button; the window sets their widths.
    setColumnCount(3);
    header()->hide();
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(kIconSide, kIconSide));
    // A narrow pane wraps the placeholder's hint instead of cutting it off.
    setWordWrap(true);
    setAccessibleName(tr("Devices"));
    addPlaceholder();
    connect(this, &QTreeWidget::currentItemChanged, this, &DeviceTreeWidget::slot_itemSelectionChanged);
    makeRowIcons();
    connect(this, &QTreeWidget::itemSelectionChanged, this, &DeviceTreeWidget::updateRowIcons);
    busyMovie = MovieFrames::create(QStringLiteral(":/images/loading.mng"), kBusySize, this);
    busyMovie->start();
}

void DeviceTreeWidget::addPlaceholder()
{
    placeholder = new QTreeWidgetItem(0);
    placeholder->setData(0, NodeTypeRole, int(NodePlaceholder));
    placeholder->setData(0, PlaceholderRole, QStringLiteral("default"));
    addTopLevelItem(placeholder);
    placeholder->setFirstColumnSpanned(true);
    retranslateRows();
}

// The hint wraps over as many lines as the pane's width needs; a tree row
// is one line high unless told otherwise.
void DeviceTreeWidget::fitPlaceholder()
{
    if (!placeholder)
        return;
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = qMax(viewport()->width() - (rootIsDecorated() ? indentation() : 0) - 2 * margin, 40);
    const QRect text = fontMetrics().boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap,
                                                  placeholder->text(0));
    placeholder->setSizeHint(0, QSize(width, text.height() + 2 * margin + 2));
}

void DeviceTreeWidget::resizeEvent(QResizeEvent *event)
{
    QTreeWidget::resizeEvent(event);
    fitPlaceholder();
}

// Pictures from their "@2x" files too, so the row icon is sharp at 200 %.
QIcon DeviceTreeWidget::devicePicture(const QString &path)
{
    QIcon icon;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const QString large = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
    for (const auto &source : {std::make_pair(path, 1), std::make_pair(large, 2)}) {
        QPixmap pixmap(source.first);
        if (pixmap.isNull())
            continue;
        const int side = kIconSide * source.second;
        pixmap = pixmap.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(source.second);
        icon.addPixmap(pixmap);
    }
    return icon;
}

void DeviceTreeWidget::addDevice(const IPodDeviceInfo &device, int functions)
{
    if (!(functions & DeviceFunctionApps)) {
        DIAG_LOG("device function type error");
        return;
    }
    if (placeholder) {
        delete takeTopLevelItem(indexOfTopLevelItem(placeholder));
        placeholder = nullptr;
    }
    const QString id = QString::fromUtf8(device.identifier());
    const QString name = QString::fromLocal8Bit(device.name());

    auto *row = new QTreeWidgetItem(this);
    row->setData(0, Qt::DecorationRole, devicePicture(device.picturePath()));
    row->setText(0, name);
    row->setToolTip(0, name);
    row->setData(0, DeviceIdRole, id);
    row->setData(0, NodeTypeRole, int(NodeDevice));

    auto *eject = new QPushButton(this);
    eject->setProperty("serial", id);
    eject->setObjectName(QStringLiteral("eject_button"));
    eject->setIconSize(QSize(16, 16));
    eject->setFlat(true);
    eject->setFocusPolicy(Qt::NoFocus);
    eject->setFixedSize(22, 22);
    connect(eject, &QPushButton::clicked, this, &DeviceTreeWidget::on_ejectDevice);
    setItemWidget(row, 2, eject);

    auto *apps = new QTreeWidgetItem(row);
    apps->setData(0, DeviceIdRole, id);
    apps->setData(0, NodeTypeRole, int(NodeFunction));
    retranslateRows();

    row->setExpanded(true);
    setCurrentItem(apps);
    updateRowIcons();
}

// The Apps picture keeps its colours, and turns to the selection's text
// colour on a selected row, where the style's tint would wash it out and its
// blue would vanish in the highlight. Our eject image follows the row the same
// way (text colour otherwise, as a grey glyph looks disabled); a theme's own
// eject icon is used as the theme draws it. Made once per palette.
void DeviceTreeWidget::makeRowIcons()
{
    const QColor selected = palette().color(QPalette::HighlightedText);
    const QString appsPicture = TulSkin::appSkinUrl() + QDir::separator() + QStringLiteral("devicetree_apps.png");
    appsIcon = TulSkin::tintedIcon(appsPicture, selected, QIcon::Selected, QIcon(appsPicture));
    if (QIcon::hasThemeIcon(QStringLiteral("media-eject"))) {
        ejectIcon = ejectSelectedIcon = QIcon::fromTheme(QStringLiteral("media-eject"));
    } else {
        const QString own = QStringLiteral(":/images/eject.png");
        ejectIcon = TulSkin::tintedIcon(own, palette().color(QPalette::Text));
        ejectSelectedIcon = TulSkin::tintedIcon(own, selected);
    }
}

void DeviceTreeWidget::updateRowIcons()
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = topLevelItem(i);
        for (int j = 0; j < row->childCount(); ++j) {
            if (row->child(j)->data(0, NodeTypeRole).toInt() == NodeFunction)
                row->child(j)->setData(0, Qt::DecorationRole, appsIcon);
        }
        if (auto *eject = qobject_cast<QPushButton *>(itemWidget(row, 2)))
            eject->setIcon(row->isSelected() ? ejectSelectedIcon : ejectIcon);
    }
}

QTreeWidgetItem *DeviceTreeWidget::deviceItem(const QString &deviceId) const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = topLevelItem(i);
        if (row->data(0, DeviceIdRole).toString() == deviceId)
            return row;
    }
    return nullptr;
}

void DeviceTreeWidget::removeDevice(const QString &deviceId)
{
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        if (topLevelItem(i)->data(0, DeviceIdRole).toString() == deviceId)
            delete takeTopLevelItem(i);
    }
    if (topLevelItemCount() == 0)
        addPlaceholder();
}

void DeviceTreeWidget::selectFirstRow()
{
    setCurrentIndex(model()->index(0, 0));
}

void DeviceTreeWidget::startBusyIndicator(const QString &deviceId)
{
    QTreeWidgetItem *row = deviceItem(deviceId);
    if (!row)
        return;
    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("busy_indicator"));
    label->setAccessibleName(tr("Busy"));
    MovieFrames::play(label, busyMovie, kBusySize);
    setItemWidget(row, 1, label);   // deletes the label shown before
}

void DeviceTreeWidget::stopBusyIndicator(const QString &deviceId)
{
    if (QTreeWidgetItem *row = deviceItem(deviceId))
        removeItemWidget(row, 1);
}

void DeviceTreeWidget::on_ejectDevice()
{
    const QObject *origin = sender();
    const QByteArray id = origin ? origin->property("serial").toString().toUtf8() : QByteArray();
    if (id.isEmpty()) {
        DIAG_LOG("no device to eject");
        return;
    }
    ejectDevice(id);
}

void DeviceTreeWidget::slot_itemSelectionChanged()
{
    const QTreeWidgetItem *item = currentItem();
    if (!item)
        return;
    const QString id = item->data(0, DeviceIdRole).toString();
    switch (item->data(0, NodeTypeRole).toInt()) {
    case NodeDevice:
        emit selectionDevice(id);
        break;
    case NodeFunction:
        emit appsSelectChanged(id);
        break;
    case NodePlaceholder:
        emit getStartWeb();
        break;
    default:
        DIAG_LOG("node type error!!!");
        break;
    }
}

void DeviceTreeWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateRows();
    else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange) {
        makeRowIcons();
        updateRowIcons();
    }
    QTreeWidget::changeEvent(event);
}

void DeviceTreeWidget::retranslateRows()
{
    setAccessibleName(tr("Devices"));
    if (placeholder) {
        placeholder->setText(0, tr("Please connect iPad, iPod or iPhone..."));
        placeholder->setToolTip(0, placeholder->text(0));
        fitPlaceholder();
    }
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = topLevelItem(i);
        if (auto *eject = qobject_cast<QPushButton *>(itemWidget(row, 2))) {
            eject->setToolTip(tr("Eject This Device"));
            eject->setAccessibleName(eject->toolTip());
        }
        for (int j = 0; j < row->childCount(); ++j) {
            if (row->child(j)->data(0, NodeTypeRole).toInt() == NodeFunction)
                row->child(j)->setText(0, tr("Apps"));
        }
    }
}
