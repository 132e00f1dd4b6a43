#pragma once

#include <QIcon>
#include <QTreeWidget>

class IPodDeviceInfo;
class QMovie;

// The left pane: one row per connected device with a row per device
// function under it (Apps), or a single placeholder row while no device is
// connected. Selecting a row tells which page to show. Each device row
// carries an eject button (column 2) and, while its tasks run, a busy
// indicator (column 1).
//
// Column 0 of every row holds the node type (NodeTypeRole: 0 device,
// 1 function, -1 placeholder) and the device identifier (DeviceIdRole).
class DeviceTreeWidget : public QTreeWidget
{
    Q_OBJECT
public:
    enum EnumDeviceFunction { DeviceFunctionApps = 1 };
    enum Role { PlaceholderRole = Qt::UserRole, NodeTypeRole = Qt::UserRole + 1, DeviceIdRole = Qt::UserRole + 2 };
    enum NodeType { NodePlaceholder = -1, NodeDevice = 0, NodeFunction = 1 };
    static constexpr int kIconSide = 18;

    explicit DeviceTreeWidget(QWidget *parent = nullptr);

    // Adds the device row and its function rows and selects the Apps row.
    // functions must contain DeviceFunctionApps; otherwise nothing is added.
    void addDevice(const IPodDeviceInfo &device, int functions);
    // Removes every top-level row of the identifier; the placeholder returns
    // when no row is left.
    void removeDevice(const QString &deviceId);
    void selectFirstRow();
    // Shows the busy animation in the device's row (replacing one shown before).
    void startBusyIndicator(const QString &deviceId);
    void stopBusyIndicator(const QString &deviceId);

    // The top-level row of the identifier, or null.
    QTreeWidgetItem *deviceItem(const QString &deviceId) const;

signals:
    void appsSelectChanged(QString devicePath);
    void selectionDevice(QString devicePath);
    void getStartWeb();

public slots:
    // Ejects the device named by the sender's "serial" property (an eject
    // button or an Eject menu action). The row goes when the removal arrives.
    void on_ejectDevice();
    void slot_itemSelectionChanged();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void addPlaceholder();
    void fitPlaceholder();
    void retranslateRows();
    void makeRowIcons();
    void updateRowIcons();
    static QIcon devicePicture(const QString &path);

    QTreeWidgetItem *placeholder = nullptr;
    QMovie *busyMovie = nullptr;
    QIcon appsIcon;
    QIcon ejectIcon;
    QIcon ejectSelectedIcon;
};
