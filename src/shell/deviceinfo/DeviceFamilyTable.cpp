#include "DeviceFamilyTable.h"

#include <QList>

namespace {

// Rows that only differ in music-library capabilities are folded into one;
// the families that exist only from some firmware on keep that minimum.
const DeviceFamilyRow kRows[] = {
    {1, nullptr, "iPod"}, {2, nullptr, "iPod"}, {3, nullptr, "iPod mini"}, {4, nullptr, "iPod"},
    {5, nullptr, "iPod photo"}, {6, nullptr, "iPod (5th generation)"}, {7, nullptr, "iPod nano"},
    {9, nullptr, "iPod nano (2nd gereration)"}, {11, nullptr, "iPod classic"},
    {12, nullptr, "iPod nano (3rd generation)"}, {15, nullptr, "iPod nano (4th generation)"},
    {16, nullptr, "iPod nano (5th generation)"}, {17, nullptr, "iPod nano (6th generation)"},
    {18, nullptr, "iPod nano (7th generation)"}, {128, nullptr, "iPod shuffle"},
    {130, nullptr, "iPod shuffle (2nd generation)"}, {132, nullptr, "iPod shuffle (3rd generation)"},
    {133, nullptr, "iPod shuffle (4th generation)"},
    {10000, nullptr, "iPhone"}, {10001, nullptr, "iPhone 3G"}, {10002, nullptr, "iPhone 3GS"},
    {10003, nullptr, "iPhone 4"}, {10004, "5.0", "iPhone 4S"}, {10005, "6.0", "iPhone 5"},
    {10006, "7.0", "iPhone 5C"}, {10007, "7.0", "iPhone 5S"},
    {11000, nullptr, "iPod Touch"}, {11001, nullptr, "iPod Touch 2G"}, {11002, nullptr, "iPod Touch 3G"},
    {11003, nullptr, "iPod Touch 4G"}, {11004, "6.0", "iPod Touch 5G"},
    {12000, nullptr, "iPad"}, {12001, nullptr, "iPad"}, {12002, "5.1", "iPad"}, {12003, "6.0", "iPad"},
    {12004, "6.0", "iPad"}, {12005, "7.0", "iPad"}, {12006, "7.0", "iPad"},
};

QList<quint64> versionParts(const QByteArray &text)
{
    QList<quint64> parts;
    for (const QByteArray &part : text.split('.')) {
        if (part.isEmpty())
            continue;
        bool ok = false;
        const quint64 n = part.toULongLong(&ok, 10);
        parts << (ok ? n : 0);
    }
    return parts;
}

} // namespace

int DeviceFamilyTable::compareVersions(const QByteArray &a, const QByteArray &b)
{
    const QList<quint64> pa = versionParts(a);
    const QList<quint64> pb = versionParts(b);
    const int common = int(qMin(pa.size(), pb.size()));
    for (int i = 0; i < common; ++i) {
        if (pa[i] != pb[i])
            return pa[i] < pb[i] ? -1 : 1;
    }
    return pa.size() == pb.size() ? 0 : (pa.size() < pb.size() ? -1 : 1);
}

const DeviceFamilyRow *DeviceFamilyTable::match(int code, const QByteArray &firmwareVersion)
{
    const DeviceFamilyRow *found = nullptr;
    for (const DeviceFamilyRow &row : kRows) {
        if (row.code != code)
            continue;
        if (!row.minimumVersion || compareVersions(row.minimumVersion, firmwareVersion) <= 0)
            found = &row;
    }
    return found;
}
