#pragma once

#include "AppInfoItem.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdint>
#include <string>
#include <vector>

// The app service's own records: texts as the device sent them (UTF-8),
// the icon as PNG bytes. They leave the app service only as AppInfoItem /
// DocItemInfo values.
struct DocRecord
{
    std::string path;    // "<device id>/Documents/<name>"
    std::string name;
    uint64_t size = 0;
    QDateTime modifiedTime;
    QDateTime createdTime;
    bool isFile = true;

    DocItemInfo toItem() const;
};

struct AppRecord
{
    std::string name;
    std::string appId;
    std::string version;
    std::string path;
    std::string genre;
    std::string purchaseAccount;
    uint64_t appSize = 0;
    uint64_t documentSize = 0;
    int64_t releaseDate = 0;
    int64_t purchaseDate = 0;
    QByteArray png;
    bool fileSharingEnabled = false;
    // The documents could not be listed (the device refused or broke off):
    // the list below is not the app's, which is not the same as empty.
    bool documentsUnknown = false;
    bool hasMetadata = false;   // store metadata came with the app list
    std::vector<DocRecord> documents;   // sorted by name, byte-wise

    // convertDataFormat: the value the models receive.
    AppInfoItem toItem() const;
    void sortDocuments();
    // The first document of that file name, or null.
    DocRecord *document(const std::string &name);
};
