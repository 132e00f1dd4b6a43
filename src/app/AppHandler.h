#pragma once

#include "AppContext.h"
#include "AppEvents.h"
#include "AppInfoItem.h"
#include "IPodDeviceInfo.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <string>

class AppTable;
class AppTask;
struct ServiceConnection;

// The client of one device's app services: app list, install and removal,
// archive and export, shared documents. Operations run on the device's
// worker thread (one at a time) and return 0 or a negative result code:
//   -1 general failure, -2 local file unusable or a device read failure,
//   -3 local read failure while adding a document, -1001 device family not
//   supported, -1002 system version too old, -1003 installed but the package
//   is not tagged for this device, -1005 / -1006 replacement declined,
//   -1007 installed app missing afterwards, -1008 device error
//   ("APIEpicFail", "APIInternalError"), -1009 too little free space,
//   -1010 the device no longer archives apps (iOS 9 and later),
//   or the negative code of a device file function.
// Results reach the models through the data_* signals (queued, by value).
// The app table may be read from any thread (snapshots under a mutex).
class AppHandler : public QObject, private AppEvents
{
    Q_OBJECT
public:
    explicit AppHandler(const QByteArray &deviceId, QObject *parent = nullptr);
    ~AppHandler() override;

    QByteArray deviceId() const { return m_deviceId; }
    // The UDID part of the identifier "<usbmux number>-<UDID>": unlike the
    // number, it stays the same when the device is plugged in again.
    QByteArray udid() const;
    const IPodDeviceInfo &deviceInfo() const { return m_deviceInfo; }
    // False when the device's iOS (9.0 and later) no longer archives apps:
    // every export is then refused with -1010 before anything is sent
    // (AppMessages::exportNotAllowed is the message to show).
    bool canExportApps() const;

    // Snapshots of the app table, safe from any thread.
    AppInfoItemMap items() const;
    bool item(const QString &appId, AppInfoItem *out) const;

    // What a load fetches after the list (which always comes first and
    // alone makes "loaded"): the rest arrives as item changes. Installs
    // fetch the same for the installed app.
    enum LoadPart {
        LoadNames = AppContext::LoadNames,
        LoadIcons = AppContext::LoadIcons,
        LoadDocuments = AppContext::LoadDocuments,
        LoadEverything = AppContext::LoadEverything
    };
    void setLoadParts(int parts) { m_loadParts = parts; }
    int loadParts() const { return m_loadParts; }

    // The whole list (Browse).
    int Load();
    // Only the named apps (Lookup): the table then holds those of them the
    // device has.
    int LoadApps(const QStringList &appIds);
    int AppInstall(const QByteArray &packagePath, AppTask *task);
    int AppUninstall(const QByteArray &appId, AppTask *task);
    int AppArchive(const QByteArray &appId, bool appOnly, const QByteArray &targetPath, AppTask *task);
    int RemoveArchive(const QByteArray &appId, AppTask *task);
    int exportToiTunes(const QByteArray &appId, bool appOnly, AppTask *task);
    // "<name> <version>.ipa", or "<name> <version>(including documents).ipa".
    QString exportFileName(const QByteArray &appId, bool appOnly) const;

    int AppAddDoc(const QByteArray &appId, const QByteArray &localPath, AppTask *task);
    int AppExportDoc(const QByteArray &appId, const QByteArray &docName, const QByteArray &targetPath,
                     AppTask *task);
    int AppDeleteDoc(const QByteArray &appId, const QByteArray &docName);

    // A house-arrest connection vended for the app ("VendContainer"), or null.
    ServiceConnection *OpenConnection(const char *command, const char *appId);
    // What the jobs (loader, installer, archiver, documents) work with; its
    // results come back here and leave as the signals below.
    const AppContext &context() const { return *m_context; }

signals:
    void data_loadcompleted(AppInfoItemMap itemMap);
    void data_itemadded(AppInfoItem item, AppTask *pTask);
    void data_itemremoved(std::string appId);
    void data_itemchanged(AppInfoItem item, DATACHANGED_REASON reason);
    void data_itemchanged(AppInfoItem item, DATACHANGED_REASON reason, DocItemInfo docItemInfo);
    void data_app_docAdded(AppInfoItem item, DocItemInfo docItemInfo, AppTask *pTask);

private:
    void loadCompleted(const AppInfoItemMap &items) override;
    void itemAdded(const AppInfoItem &item, AppTask *task) override;
    void itemRemoved(const std::string &appId) override;
    void itemChanged(const AppInfoItem &item, DATACHANGED_REASON reason) override;
    void itemChanged(const AppInfoItem &item, DATACHANGED_REASON reason, const DocItemInfo &doc) override;
    void docAdded(const AppInfoItem &item, const DocItemInfo &doc, AppTask *task) override;

    QByteArray m_deviceId;
    IPodDeviceInfo m_deviceInfo;
    std::unique_ptr<AppTable> m_table;
    std::atomic<int> m_loadParts{LoadEverything};
    std::unique_ptr<AppContext> m_context;
};
