#pragma once

#include <QByteArray>
#include <QString>

#include <string>

class AppContext;
class AppTable;
class AppTask;

// Exporting apps: the installation service archives the app on the device,
// the archive is copied to the computer, tagged with the device's
// identifier, and removed from the device again.
class AppArchiver
{
public:
    explicit AppArchiver(const AppContext &context);

    int archive(const std::string &appId, bool appOnly, const QByteArray &targetPath, AppTask *task);
    int removeArchive(const std::string &appId, AppTask *task);
    int exportToiTunes(const std::string &appId, bool appOnly, AppTask *task);
    QString exportFileName(const std::string &appId, bool appOnly) const;

private:
    // Copies ApplicationArchives/<id>.zip to localPath, reporting in mode 2.
    int copyArchive(const std::string &appId, const QString &localPath, AppTask *task);

    const AppContext &m_ctx;
    AppTable *m_table;
};
