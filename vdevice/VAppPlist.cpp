#include "VAppPlist.h"

#include <QDateTime>
#include <QFile>
#include <QUuid>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <unordered_map>

namespace {
// libplist 2.x keeps dates as seconds since 2001-01-01.
constexpr qint64 kMacEpochOffset = 978307200;
}

PlistPtr VAppPlist::parse(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > INT32_MAX)
        return makePlistPtr();
    plist_t node = nullptr;
    if (bytes.startsWith("bplist00"))
        plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &node);
    else
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &node);
    return makePlistPtr(node);
}

namespace {

// Parsed files by path, each with the identity of the file it came from: a
// device answers Browse and the home screen from every app's Info.plist and
// record, and parsing them again for every request made the virtual device
// the slow end of every list. A file that changed is read again.
struct CachedFile
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};
    std::shared_ptr<std::remove_pointer_t<plist_t>> node;
};

constexpr size_t kMaxCachedFiles = 20000;
std::mutex g_cacheMutex;
std::unordered_map<std::string, CachedFile> g_cache;

bool sameFile(const CachedFile &c, const struct stat &st)
{
    return c.device == st.st_dev && c.inode == st.st_ino && c.size == st.st_size
        && c.modified.tv_sec == st.st_mtim.tv_sec && c.modified.tv_nsec == st.st_mtim.tv_nsec;
}

} // namespace

PlistPtr VAppPlist::readFile(const QString &path, qint64 maxBytes)
{
    const std::string key = QFile::encodeName(path).toStdString();
    struct stat st = {};
    if (::stat(key.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes)
        return makePlistPtr();
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        const auto it = g_cache.find(key);
        if (it != g_cache.end() && sameFile(it->second, st))
            return makePlistPtr(it->second.node ? plist_copy(it->second.node.get()) : nullptr);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes)
        return makePlistPtr();
    PlistPtr node = parse(file.read(maxBytes));
    // Only a file that did not change while it was read is remembered.
    struct stat after = {};
    CachedFile entry;
    entry.device = st.st_dev;
    entry.inode = st.st_ino;
    entry.size = st.st_size;
    entry.modified = st.st_mtim;
    if (::stat(key.c_str(), &after) == 0 && sameFile(entry, after)) {
        entry.node.reset(node ? plist_copy(node.get()) : nullptr, &plist_free);
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        if (g_cache.size() >= kMaxCachedFiles)
            g_cache.clear();
        g_cache[key] = std::move(entry);
    }
    return node;
}

QByteArray VAppPlist::toXml(plist_t node)
{
    char *text = nullptr;
    uint32_t length = 0;
    if (node)
        plist_to_xml(node, &text, &length);
    QByteArray out(text, text ? int(length) : 0);
    if (text)
        plist_to_xml_free(text);
    return out;
}

QByteArray VAppPlist::toBinary(plist_t node)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    if (node)
        plist_to_bin(node, &bytes, &length);
    QByteArray out(bytes, bytes ? int(length) : 0);
    if (bytes)
        plist_to_bin_free(bytes);
    return out;
}

bool VAppPlist::writeFile(const QString &path, plist_t node, bool binary)
{
    const QByteArray bytes = binary ? toBinary(node) : toXml(node);
    return !bytes.isEmpty() && writeBytes(path, bytes);
}

bool VAppPlist::writeBytes(const QString &path, const QByteArray &bytes)
{
    const QString partial = path + QStringLiteral(".partial-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QFile file(partial);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    file.close();
    if (written && ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    QFile::remove(partial);
    return false;
}

QString VAppPlist::string(plist_t dict, const char *key, const QString &fallback)
{
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return fallback;
    char *value = nullptr;
    plist_get_string_val(node, &value);
    const QString out = value ? QString::fromUtf8(value) : fallback;
    free(value);
    return out;
}

bool VAppPlist::boolean(plist_t dict, const char *key, bool fallback)
{
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node)
        return fallback;
    if (plist_get_node_type(node) == PLIST_BOOLEAN) {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    if (plist_get_node_type(node) == PLIST_STRING)
        return string(dict, key).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || string(dict, key) == QLatin1String("1");
    return fallback;
}

quint64 VAppPlist::uint(plist_t dict, const char *key, quint64 fallback)
{
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node || plist_get_node_type(node) != PLIST_UINT)
        return fallback;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

QByteArray VAppPlist::data(plist_t dict, const char *key)
{
    plist_t node = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!node || plist_get_node_type(node) != PLIST_DATA)
        return QByteArray();
    char *bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    QByteArray out(bytes, bytes ? int(length) : 0);
    free(bytes);
    return out;
}

QStringList VAppPlist::stringList(plist_t dict, const char *key)
{
    QStringList out;
    plist_t array = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!array || plist_get_node_type(array) != PLIST_ARRAY)
        return out;
    const uint32_t count = plist_array_get_size(array);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(array, i);
        if (plist_get_node_type(item) != PLIST_STRING)
            continue;
        char *value = nullptr;
        plist_get_string_val(item, &value);
        if (value)
            out << QString::fromUtf8(value);
        free(value);
    }
    return out;
}

void VAppPlist::setString(plist_t dict, const char *key, const QString &value)
{
    plist_dict_set_item(dict, key, plist_new_string(value.toUtf8().constData()));
}

void VAppPlist::setUint(plist_t dict, const char *key, quint64 value)
{
    plist_dict_set_item(dict, key, plist_new_uint(value));
}

void VAppPlist::setBool(plist_t dict, const char *key, bool value)
{
    plist_dict_set_item(dict, key, plist_new_bool(value ? 1 : 0));
}

void VAppPlist::setData(plist_t dict, const char *key, const QByteArray &value)
{
    plist_dict_set_item(dict, key, plist_new_data(value.constData(), uint64_t(value.size())));
}

void VAppPlist::setNode(plist_t dict, const char *key, plist_t value)
{
    if (value)
        plist_dict_set_item(dict, key, value);
}

plist_t VAppPlist::newDate(qint64 secondsSince1970)
{
    return plist_new_date(int32_t(secondsSince1970 - kMacEpochOffset), 0);
}

qint64 VAppPlist::dateSeconds(plist_t dateNode)
{
    int32_t sec = 0;
    int32_t usec = 0;
    if (!dateNode || plist_get_node_type(dateNode) != PLIST_DATE)
        return 0;
    plist_get_date_val(dateNode, &sec, &usec);
    return qint64(sec) + kMacEpochOffset;
}

QStringList VAppPlist::keys(plist_t dict)
{
    QStringList out;
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return out;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (!key)
            break;
        out << QString::fromUtf8(key);
        free(key);
    }
    free(iter);
    return out;
}

plist_t VAppPlist::fromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        // libplist 2.2 keeps every integer in an unsigned node.
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime:
        return newDate(value.toDateTime().toSecsSinceEpoch());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList()) {
            if (plist_t node = fromVariant(item))
                plist_array_append_item(array, node);
        }
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (plist_t node = fromVariant(it.value()))
                plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
        }
        return dict;
    }
    default:
        return nullptr;
    }
}
