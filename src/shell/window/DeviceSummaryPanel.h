#pragma once

#include "DeviceStatus.h"

#include <QByteArray>
#include <QWidget>

class DeviceStatusReader;
class IPodDeviceInfo;
class QGridLayout;
class QLabel;
class QProgressBar;

// The summary page's rows below type and serial number: the model's
// marketing name where it says more than the type, the iOS version, storage as a bar with used and free
// space, and the battery level where the device reports it. Storage and
// battery are read off the GUI thread each time a device is shown.
class DeviceSummaryPanel : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceSummaryPanel(QWidget *parent = nullptr);

    // Fills the rows from the record and asks the device for its status.
    void showDevice(const IPodDeviceInfo &device);
    // Shows a status; the rows of what is unknown say so or hide.
    void setStatus(const DeviceStatus &status);
    void clear();
    QByteArray deviceId() const { return m_deviceId; }

    // Width of the caption column, so that the page can line it up with its
    // own captions above.
    int captionWidth() const;
    void setCaptionWidth(int width);

signals:
    // A status arrived and is shown (for the page and for tests).
    void statusShown();

protected:
    void changeEvent(QEvent *event) override;

private:
    void onStatusRead(const QByteArray &deviceId, const DeviceStatus &status);
    void retranslate();
    void applyStatus();
    void showModel();
    QLabel *addRow(int row, const char *objectName);

    QGridLayout *grid = nullptr;
    QLabel *modelLabel = nullptr;
    QLabel *iosLabel = nullptr;
    QLabel *storageLabel = nullptr;
    QLabel *batteryLabel = nullptr;
    QProgressBar *storageBar = nullptr;
    QList<QLabel *> captions;
    DeviceStatusReader *reader = nullptr;

    QByteArray m_deviceId;
    QByteArray m_productType;
    QString m_marketingName;
    QString m_typeName;
    bool m_statusKnown = false;
    DeviceStatus m_status;
};
