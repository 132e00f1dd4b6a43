#include "AppHandler.h"

#include "AppArchiver.h"
#include "AppDocuments.h"
#include "AppInstaller.h"
#include "AppLoader.h"
#include "AppTable.h"
#include "DeviceFamilyTable.h"
#include "DiagLog.h"
#include "PlistFrame.h"
#include "PlistValues.h"
#include "communication.h"

AppHandler::AppHandler(const QByteArray &deviceId, QObject *parent)
    : QObject(parent), m_deviceId(deviceId), m_table(std::make_unique<AppTable>())
{
    registerAppRecordMetaTypes();
    if (!m_deviceId.isEmpty() && m_deviceId.at(0) >= '0' && m_deviceId.at(0) <= '9')
        m_deviceInfo.Fill(m_deviceId);
}

AppHandler::~AppHandler() = default;

QByteArray AppHandler::udid() const
{
    const int dash = m_deviceId.indexOf('-');
    return dash < 0 ? m_deviceId : m_deviceId.mid(dash + 1);
}

bool AppHandler::canExportApps() const
{
    return DeviceFamilyTable::compareVersions(m_deviceInfo.firmwareVersion(), "9.0") < 0;
}

AppInfoItemMap AppHandler::items() const
{
    return m_table->items();
}

bool AppHandler::item(const QString &appId, AppInfoItem *out) const
{
    return m_table->item(appId.toStdString(), out);
}

int AppHandler::Load()
{
    return AppLoader(this, m_table.get()).load(m_loadParts);
}

int AppHandler::LoadApps(const QStringList &appIds)
{
    std::vector<std::string> ids;
    for (const QString &appId : appIds)
        ids.push_back(appId.toStdString());
    if (ids.empty()) {
        // Nothing named: an empty list, not the whole one.
        m_table->clear();
        emit data_loadcompleted(AppInfoItemMap());
        return 0;
    }
    return AppLoader(this, m_table.get()).load(m_loadParts, ids);
}

int AppHandler::AppInstall(const QByteArray &packagePath, AppTask *task)
{
    return AppInstaller(this, m_table.get()).install(packagePath, task);
}

int AppHandler::AppUninstall(const QByteArray &appId, AppTask *task)
{
    return AppInstaller(this, m_table.get()).uninstall(appId.toStdString(), task);
}

int AppHandler::AppArchive(const QByteArray &appId, bool appOnly, const QByteArray &targetPath, AppTask *task)
{
    return AppArchiver(this, m_table.get()).archive(appId.toStdString(), appOnly, targetPath, task);
}

int AppHandler::RemoveArchive(const QByteArray &appId, AppTask *task)
{
    return AppArchiver(this, m_table.get()).removeArchive(appId.toStdString(), task);
}

int AppHandler::exportToiTunes(const QByteArray &appId, bool appOnly, AppTask *task)
{
    return AppArchiver(this, m_table.get()).exportToiTunes(appId.toStdString(), appOnly, task);
}

QString AppHandler::exportFileName(const QByteArray &appId, bool appOnly) const
{
    return AppArchiver(const_cast<AppHandler *>(this), m_table.get()).exportFileName(appId.toStdString(), appOnly);
}

int AppHandler::AppAddDoc(const QByteArray &appId, const QByteArray &localPath, AppTask *task)
{
    return AppDocuments(this, m_table.get()).add(appId.toStdString(), localPath, task);
}

int AppHandler::AppExportDoc(const QByteArray &appId, const QByteArray &docName, const QByteArray &targetPath,
                             AppTask *task)
{
    return AppDocuments(this, m_table.get()).exportTo(appId.toStdString(), docName, targetPath, task);
}

int AppHandler::AppDeleteDoc(const QByteArray &appId, const QByteArray &docName)
{
    return AppDocuments(this, m_table.get()).remove(appId.toStdString(), docName);
}

ServiceConnection *AppHandler::OpenConnection(const char *command, const char *appId)
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
    if (PlistValues::string(raw, "Status") != "Complete")
        return nullptr;
    return conn.release();
}
