#pragma once

#include <QJsonArray>
#include <QJsonObject>

class IPodDeviceInfo;
struct AppInfoItem;
struct DocItemInfo;

// The JSON forms of the command line's output. Keys are stable: they are
// documented for scripts. Dates and times are seconds since 1970.
namespace CliJson {

QJsonObject device(const IPodDeviceInfo &info);
QJsonObject app(const AppInfoItem &item);
QJsonObject document(const DocItemInfo &doc);
QJsonArray documents(const QList<DocItemInfo> &docs);

} // namespace CliJson
