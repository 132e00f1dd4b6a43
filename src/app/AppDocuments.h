#pragma once

#include "DevPort.h"

#include <QByteArray>

#include <string>

class AppContext;
class AppTable;
class AppTask;
struct AppRecord;
struct DocRecord;

// The documents an app shares through File Sharing: its container's
// "Documents" folder, reached through house arrest.
class AppDocuments
{
public:
    explicit AppDocuments(const AppContext &context);

    // Lists the regular files of /Documents into the record (sorted).
    // 0, or the result of opening the folder.
    static int list(const QByteArray &deviceId, ServiceConnection *container, AppRecord *record);

    int add(const std::string &appId, const QByteArray &localPath, AppTask *task);
    int exportTo(const std::string &appId, const QByteArray &docName, const QByteArray &targetPath, AppTask *task);
    int remove(const std::string &appId, const QByteArray &docName);

    // The file name part of a document path (after its last "/"; a
    // backslash is part of a name); empty when it names no file.
    static std::string fileName(const QByteArray &path);
    // The hidden name a new document is written under until it is complete:
    // within the file system's name limit whatever the final name's length.
    static std::string partialName(const std::string &name);
    static bool isPartialName(const std::string &name);
    static constexpr size_t kMaxNameBytes = 255;

private:
    ServicePtr openContainer(const std::string &appId) const;
    // Drops the document from the record and announces it.
    void forget(const std::string &appId, const std::string &name);
    void announceAdded(const std::string &appId, const DocRecord &doc, AppTask *task);
    void refreshTimes(ServiceConnection *container, DocRecord *doc) const;
    // Removes what an add that never finished left in /Documents.
    static void removePartials(const QByteArray &deviceId, ServiceConnection *container);

    const AppContext &m_ctx;
    AppTable *m_table;
};
