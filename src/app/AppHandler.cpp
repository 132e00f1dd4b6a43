#include "AppHandler.h"

#include "AppArchiver.h"
#include "AppDocuments.h"
#include "AppInstaller.h"
#include "AppLoader.h"
#include "AppTable.h"

AppHandler::AppHandler(const QByteArray &deviceId, QObject *parent)
    : QObject(parent), m_deviceId(deviceId), m_table(std::make_unique<AppTable>())
{
    registerAppRecordMetaTypes();
    if (!m_deviceId.isEmpty() && m_deviceId.at(0) >= '0' && m_deviceId.at(0) <= '9')
        m_deviceInfo.Fill(m_deviceId);
    AppEvents *events = this;
    m_context = std::make_unique<AppContext>(m_deviceId, &m_deviceInfo, m_table.get(), events, &m_loadParts);
}

AppHandler::~AppHandler() = default;

QByteArray AppHandler::udid() const
{
    return m_context->udid();
}

bool AppHandler::canExportApps() const
{
    return m_context->canExportApps();
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
    return AppLoader(*m_context).load(m_loadParts);
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
    return AppLoader(*m_context).load(m_loadParts, ids);
}

int AppHandler::AppInstall(const QByteArray &packagePath, AppTask *task)
{
    return AppInstaller(*m_context).install(packagePath, task);
}

int AppHandler::AppUninstall(const QByteArray &appId, AppTask *task)
{
    return AppInstaller(*m_context).uninstall(appId.toStdString(), task);
}

int AppHandler::AppArchive(const QByteArray &appId, bool appOnly, const QByteArray &targetPath, AppTask *task)
{
    return AppArchiver(*m_context).archive(appId.toStdString(), appOnly, targetPath, task);
}

int AppHandler::RemoveArchive(const QByteArray &appId, AppTask *task)
{
    return AppArchiver(*m_context).removeArchive(appId.toStdString(), task);
}

int AppHandler::exportToiTunes(const QByteArray &appId, bool appOnly, AppTask *task)
{
    return AppArchiver(*m_context).exportToiTunes(appId.toStdString(), appOnly, task);
}

QString AppHandler::exportFileName(const QByteArray &appId, bool appOnly) const
{
    return AppArchiver(*m_context).exportFileName(appId.toStdString(), appOnly);
}

int AppHandler::AppAddDoc(const QByteArray &appId, const QByteArray &localPath, AppTask *task)
{
    return AppDocuments(*m_context).add(appId.toStdString(), localPath, task);
}

int AppHandler::AppExportDoc(const QByteArray &appId, const QByteArray &docName, const QByteArray &targetPath,
                             AppTask *task)
{
    return AppDocuments(*m_context).exportTo(appId.toStdString(), docName, targetPath, task);
}

int AppHandler::AppDeleteDoc(const QByteArray &appId, const QByteArray &docName)
{
    return AppDocuments(*m_context).remove(appId.toStdString(), docName);
}

ServiceConnection *AppHandler::OpenConnection(const char *command, const char *appId)
{
    return m_context->openConnection(command, appId);
}

void AppHandler::loadCompleted(const AppInfoItemMap &items)
{
    emit data_loadcompleted(items);
}

void AppHandler::itemAdded(const AppInfoItem &item, AppTask *task)
{
    emit data_itemadded(item, task);
}

void AppHandler::itemRemoved(const std::string &appId)
{
    emit data_itemremoved(appId);
}

void AppHandler::itemChanged(const AppInfoItem &item, DATACHANGED_REASON reason)
{
    emit data_itemchanged(item, reason);
}

void AppHandler::itemChanged(const AppInfoItem &item, DATACHANGED_REASON reason, const DocItemInfo &doc)
{
    emit data_itemchanged(item, reason, doc);
}

void AppHandler::docAdded(const AppInfoItem &item, const DocItemInfo &doc, AppTask *task)
{
    emit data_app_docAdded(item, doc, task);
}
