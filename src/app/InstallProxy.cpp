#include "InstallProxy.h"

#include "DevPort.h"
#include "DiagLog.h"
#include "communication.h"

PlistPtr InstallProxy::appCommand(const char *command, const std::string &appId)
{
    PlistPtr message = makePlistPtr(plist_new_dict());
    plist_dict_set_item(message.get(), "ApplicationIdentifier", plist_new_string(appId.c_str()));
    plist_dict_set_item(message.get(), "Command", plist_new_string(command));
    return message;
}

int InstallProxy::run(const QByteArray &deviceId, plist_t command, StatusSink *sink, int mode)
{
    ServicePtr conn(zorn_dvpt_OpenService(deviceId.constData(), "com.apple.mobile.installation_proxy"));
    if (!conn) {
        DIAG_LOG("installation service not reachable");
        return -1;
    }
    if (mobilesync_send(conn.get(), command) != 0) {
        DIAG_LOG("command not sent");
        return -1;
    }
    return RecvStatus(conn.get(), sink, mode);
}
