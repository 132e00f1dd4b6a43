#pragma once

#include "DevPort.h"

#include <QByteArray>

#include <atomic>

class AppEvents;
class AppTable;
class IPodDeviceInfo;

// What every job of the app service works with: the device, a way to
// reach an app's container, the app table and the sink for results. Made
// by AppHandler, which outlives every job it starts.
class AppContext
{
public:
    // What a load fetches after the list, which always comes first.
    enum LoadPart { LoadNames = 0x1, LoadIcons = 0x2, LoadDocuments = 0x4, LoadEverything = 0x7 };

    AppContext(const QByteArray &deviceId, const IPodDeviceInfo *deviceInfo, AppTable *table, AppEvents *events,
               const std::atomic<int> *loadParts);

    const QByteArray &deviceId() const { return m_deviceId; }
    // The UDID part of "<usbmux number>-<UDID>".
    QByteArray udid() const;
    const IPodDeviceInfo &deviceInfo() const { return *m_deviceInfo; }
    // False on iOS 9 and later, which no longer archive apps.
    bool canExportApps() const;
    // AppHandler::LoadPart flags for what loads and installs fetch.
    int loadParts() const { return *m_loadParts; }
    AppTable *table() const { return m_table; }
    AppEvents *events() const { return m_events; }

    // A house-arrest connection vended for the app (command "VendContainer"
    // or "VendDocuments"), or null.
    ServiceConnection *openConnection(const char *command, const char *appId) const;

private:
    QByteArray m_deviceId;
    const IPodDeviceInfo *m_deviceInfo;
    AppTable *m_table;
    AppEvents *m_events;
    const std::atomic<int> *m_loadParts;
};
