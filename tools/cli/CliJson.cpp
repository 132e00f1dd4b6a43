#include "CliJson.h"

#include "AppInfoItem.h"
#include "IPodDeviceInfo.h"

namespace CliJson {

QJsonObject device(const IPodDeviceInfo &info)
{
    return QJsonObject{
        {QStringLiteral("id"), QString::fromUtf8(info.identifier())},
        {QStringLiteral("name"), QString::fromUtf8(info.name())},
        {QStringLiteral("serialNumber"), QString::fromUtf8(info.serialNumber())},
        {QStringLiteral("firmwareVersion"), QString::fromUtf8(info.firmwareVersion())},
        {QStringLiteral("typeName"), QString::fromUtf8(info.typeName())},
        {QStringLiteral("familyCode"), info.familyCode()},
    };
}

QJsonObject document(const DocItemInfo &doc)
{
    const QDateTime &t = doc.modifiedTime;
    return QJsonObject{
        {QStringLiteral("name"), doc.name},
        {QStringLiteral("size"), double(doc.size)},
        {QStringLiteral("modifiedTime"), t.isValid() ? double(t.toSecsSinceEpoch()) : 0.0},
    };
}

QJsonArray documents(const QList<DocItemInfo> &docs)
{
    QJsonArray array;
    for (const DocItemInfo &doc : docs)
        array.append(document(doc));
    return array;
}

QJsonObject app(const AppInfoItem &item)
{
    // JSON numbers are doubles: exact for every byte count below 2^53.
    return QJsonObject{
        {QStringLiteral("appId"), item.appId},
        {QStringLiteral("name"), item.name},
        {QStringLiteral("version"), item.version},
        {QStringLiteral("genre"), item.genre},
        {QStringLiteral("purchaseAccount"), item.purchaseAccount},
        {QStringLiteral("purchaseDate"), double(item.purchaseDate)},
        {QStringLiteral("releaseDate"), double(item.releaseDate)},
        {QStringLiteral("appSize"), double(item.appSize)},
        {QStringLiteral("documentSize"), double(item.documentSize)},
        {QStringLiteral("fileSharingEnabled"), item.fileSharingEnabled},
        // null: the device did not let the documents be listed.
        {QStringLiteral("documents"), item.documentsUnknown ? QJsonValue() : QJsonValue(documents(item.documents))},
    };
}

} // namespace CliJson
