#pragma once

#include <QByteArray>

#include <string>

class AppContext;
class AppPackage;
class AppTable;
class AppTask;
class TaskReporter;
struct ServiceConnection;

// Installing packages onto the device and removing apps.
class AppInstaller
{
public:
    explicit AppInstaller(const AppContext &context);

    int install(const QByteArray &packagePath, AppTask *task);
    int uninstall(const std::string &appId, AppTask *task);
    // The device's families ("1", "1,2"); empty when it does not say.
    QByteArray deviceFamilies() const;

private:
    // Copies the package to PublicStaging/<id>.zip, reporting in mode 1.
    int upload(const QByteArray &packagePath, const std::string &bundleId, AppTask *task, std::string *stagingPath);
    // Writes the package's saved container into the installed app's, never
    // more than its entries declare or the device has free (-1009).
    int restoreContainer(const QByteArray &packagePath, const std::string &bundleId);
    // After a successful install: the app from the device's list into the table.
    int announceInstalled(const std::string &bundleId, AppTask *task);
    void refreshHomeScreenNames();
    // In the table, or else on the device (asked by Lookup).
    bool isInstalled(const std::string &bundleId) const;

    const AppContext &m_ctx;
    AppTable *m_table;
};
