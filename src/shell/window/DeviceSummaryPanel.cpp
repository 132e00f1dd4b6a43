#include "DeviceSummaryPanel.h"

#include "DeviceModelNames.h"
#include "DeviceStatusReader.h"
#include "IPodDeviceInfo.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
enum Row { RowModel, RowIos, RowStorage, RowBattery, RowCount };
constexpr int kMaxDeviceText = 64;   // device texts shown here are short; longer is garbage
constexpr int kBarSteps = 1000;

QString sizeText(double bytes)
{
    return QLocale().formattedDataSize(qint64(bytes), 1, QLocale::DataSizeTraditionalFormat);
}
} // namespace

DeviceSummaryPanel::DeviceSummaryPanel(QWidget *parent)
    : QWidget(parent)
    , reader(new DeviceStatusReader(this))
{
    setObjectName(QStringLiteral("deviceSummaryPanel"));
    captions = QList<QLabel *>(RowCount, nullptr);
    grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    modelLabel = addRow(RowModel, "modelLabel");
    iosLabel = addRow(RowIos, "iosVersionLabel");
    batteryLabel = addRow(RowBattery, "batteryLabel");

    // Storage: the bar with the figures under it.
    auto *storage = new QWidget(this);
    auto *column = new QVBoxLayout(storage);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    storageBar = new QProgressBar(storage);
    storageBar->setObjectName(QStringLiteral("storageBar"));
    storageBar->setRange(0, kBarSteps);
    storageBar->setTextVisible(false);
    storageBar->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    storageBar->setMaximumHeight(fontMetrics().height());
    storageLabel = new QLabel(storage);
    storageLabel->setObjectName(QStringLiteral("storageLabel"));
    storageLabel->setWordWrap(true);
    column->addWidget(storageBar);
    column->addWidget(storageLabel);
    auto *caption = new QLabel(this);
    caption->setObjectName(QStringLiteral("storageCaption"));
    captions[RowStorage] = caption;
    grid->addWidget(caption, RowStorage, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(storage, RowStorage, 1);
    caption->setBuddy(storageBar);
    connect(reader, &DeviceStatusReader::statusRead, this, &DeviceSummaryPanel::onStatusRead);
    retranslate();
    clear();
}

QLabel *DeviceSummaryPanel::addRow(int row, const char *objectName)
{
    auto *caption = new QLabel(this);
    auto *value = new QLabel(this);
    value->setObjectName(QLatin1String(objectName));
    caption->setObjectName(value->objectName().replace(QStringLiteral("Label"), QStringLiteral("Caption")));
    // Device texts are shown as they are, never as markup.
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    caption->setBuddy(value);
    captions[row] = caption;
    grid->addWidget(caption, row, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(value, row, 1);
    return value;
}

void DeviceSummaryPanel::showDevice(const IPodDeviceInfo &device)
{
    m_deviceId = device.identifier();
    m_productType = device.productType().left(kMaxDeviceText);
    m_marketingName = DeviceModelNames::marketingName(m_productType);
    m_typeName = QString::fromUtf8(device.typeName().left(kMaxDeviceText));
    showModel();
    iosLabel->setText(QString::fromUtf8(device.firmwareVersion().left(kMaxDeviceText)));
    m_statusKnown = false;
    applyStatus();
    reader->request(m_deviceId);
}

void DeviceSummaryPanel::showModel()
{
    QString text = m_marketingName.isEmpty() ? QString::fromUtf8(m_productType) : m_marketingName;
    // The type above often names the model already ("iPhone 5S"): the row
    // shows only a model that says more than the type.
    if (text.compare(m_typeName, Qt::CaseInsensitive) == 0)
        text.clear();
    modelLabel->setText(text);
    modelLabel->setVisible(!text.isEmpty());
    captions[RowModel]->setVisible(!text.isEmpty());
}

void DeviceSummaryPanel::onStatusRead(const QByteArray &deviceId, const DeviceStatus &status)
{
    // An answer for a device shown before this one is stale.
    if (deviceId != m_deviceId)
        return;
    setStatus(status);
    emit statusShown();
}

void DeviceSummaryPanel::setStatus(const DeviceStatus &status)
{
    m_status = status;
    m_statusKnown = true;
    applyStatus();
}

void DeviceSummaryPanel::applyStatus()
{
    const DeviceStatus &status = m_status;
    const bool battery = m_statusKnown && status.batteryPercent >= 0;
    batteryLabel->setVisible(battery);
    captions[RowBattery]->setVisible(battery);
    if (!m_statusKnown) {
        storageBar->setValue(0);
        storageLabel->setText(m_deviceId.isEmpty() ? QString() : tr("Reading..."));
        return;
    }
    if (status.storageKnown) {
        storageBar->setValue(int(status.usedBytes() / status.totalBytes * kBarSteps));
        storageLabel->setText(tr("%1 used, %2 free").arg(sizeText(status.usedBytes()), sizeText(status.freeBytes)));
        storageBar->setAccessibleDescription(storageLabel->text());
    } else {
        storageBar->setValue(0);
        storageLabel->setText(tr("Not available"));
    }
    if (battery) {
        const QString level = tr("%1%").arg(status.batteryPercent);
        batteryLabel->setText(status.charging ? tr("%1 (charging)").arg(level) : level);
    }
}

void DeviceSummaryPanel::clear()
{
    m_deviceId.clear();
    m_productType.clear();
    m_marketingName.clear();
    m_typeName.clear();
    showModel();
    iosLabel->clear();
    m_statusKnown = false;
    applyStatus();
}

int DeviceSummaryPanel::captionWidth() const
{
    int width = 0;
    for (const QLabel *caption : captions)
        width = qMax(width, caption->sizeHint().width());
    return width;
}

void DeviceSummaryPanel::setCaptionWidth(int width)
{
    grid->setColumnMinimumWidth(0, width);
}

void DeviceSummaryPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void DeviceSummaryPanel::retranslate()
{
    captions[RowModel]->setText(tr("Model:"));
    captions[RowIos]->setText(tr("iOS Version:"));
    captions[RowStorage]->setText(tr("Storage:"));
    captions[RowBattery]->setText(tr("Battery:"));
    storageBar->setAccessibleName(tr("Storage"));
    applyStatus();
}
