#include "AppContext.h"

#include "DeviceFamilyTable.h"
#include "DiagLog.h"
#include "IPodDeviceInfo.h"
#include "PlistFrame.h"
#include "PlistValues.h"
#include "communication.h"

AppContext::AppContext(const QByteArray &deviceId, const IPodDeviceInfo *deviceInfo, AppTable *table,
                       AppEvents *events, const std::atomic<int> *loadParts)
    : m_deviceId(deviceId), m_deviceInfo(deviceInfo), m_table(table), m_events(events), m_loadParts(loadParts)
{
}

QByteArray AppContext::udid() const
{
    const int dash = m_deviceId.indexOf('-');
    return dash < 0 ? m_deviceId : m_deviceId.mid(dash + 1);
}

bool AppContext::canExportApps() const
{
    return DeviceFamilyTable::compareVersions(m_deviceInfo->firmwareVersion(), "9.0") < 0;
}

ServiceConnection *AppContext::openConnection(const char *command, const char *appId) const
{
    ServicePtr conn(zorn_dvpt_OpenService(m_deviceId.constData(), "com.apple.mobile.house_arrest"));
    if (!conn) {
        DIAG_ERROR();
        return nullptr;
    }
    PlistPtr request = makePlistPtr(plist_new_dict());
    plist_dict_set_item(request.get(), "Command", plist_new_string(command ? command : ""));
    plist_dict_set_item(request.get(), "Identifier", plist_new_string(appId ? appId : ""));
    if (mobilesync_send(conn.get(), request.get()) != 0) {
        DIAG_ERROR();
        return nullptr;
    }
    plist_t raw = nullptr;
    if (mobilesync_receive(conn.get(), &raw) != 0) {
        DIAG_ERROR();
        return nullptr;
    }
    const PlistPtr reply = makePlistPtr(raw);
    if (PlistValues::string(raw, "Status") != "Complete") {
        DIAG_LOG("container not vended");
        return nullptr;
    }
    return conn.release();
}
