#include "AppRecord.h"

#include <algorithm>

DocItemInfo DocRecord::toItem() const
{
    DocItemInfo item;
    item.path = QString::fromUtf8(path.c_str());
    item.name = QString::fromUtf8(name.c_str());
    item.size = qint64(size);
    item.modifiedTime = modifiedTime;
    item.createdTime = createdTime;
    item.isFile = isFile ? 1 : 0;
    return item;
}

AppInfoItem AppRecord::toItem() const
{
    AppInfoItem item;
    item.name = QString::fromUtf8(name.c_str());
    item.appId = QString::fromUtf8(appId.c_str());
    item.version = QString::fromUtf8(version.c_str());
    item.path = QString::fromUtf8(path.c_str());
    item.genre = QString::fromUtf8(genre.c_str());
    item.purchaseAccount = QString::fromUtf8(purchaseAccount.c_str());
    item.appSize = appSize;
    item.documentSize = documentSize;
    item.releaseDate = releaseDate;
    item.purchaseDate = purchaseDate;
    item.iconPng = png;
    item.fileSharingEnabled = fileSharingEnabled;
    item.documentsUnknown = documentsUnknown;
    for (const DocRecord &doc : documents)
        item.documents.append(doc.toItem());
    return item;
}

void AppRecord::sortDocuments()
{
    std::stable_sort(documents.begin(), documents.end(), [](const DocRecord &a, const DocRecord &b) {
        if (a.isFile != b.isFile)
            return !a.isFile;
        return a.name < b.name;
    });
}

DocRecord *AppRecord::document(const std::string &docName)
{
    for (DocRecord &doc : documents) {
        if (doc.name == docName)
            return &doc;
    }
    return nullptr;
}
