#include "AppPackage.h"

#include "DiagLog.h"
#include "PlistValues.h"
#include "ipodzip.h"

#include <QList>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// An entry as a data node, or null when the package lacks it.
plist_t entryAsData(const char *package, const std::string &name)
{
    char *bytes = nullptr;
    uint64_t length = 0;
    if (ipod_get_zip_file(package, name.c_str(), &bytes, &length) != 0)
        return nullptr;
    plist_t node = plist_new_data(bytes, length);
    std::free(bytes);
    return node;
}

// One element of UIDeviceFamily: a number or a string of one; 0 otherwise.
quint64 familyOf(plist_t node)
{
    std::string text;
    if (PlistValues::string(node, &text))
        return QByteArray::fromStdString(text).toULongLong();
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return value;
    }
    DIAG_LOG("UIDeviceFamily element of another type");
    return 0;
}

} // namespace

int AppPackage::read(const QByteArray &packagePath)
{
    char *bytes = nullptr;
    uint64_t length = 0;
    if (ipod_get_zip_file(packagePath.constData(), "Info.plist", &bytes, &length) != 0) {
        DIAG_LOG("package without Info.plist");
        return -1;
    }
    std::unique_ptr<char, decltype(&std::free)> owned(bytes, &std::free);
    int result = -1;
    m_info.reset(PlistFrame::parse(bytes, size_t(length)));
    std::string signatureName;
    if (plist_get_node_type(m_info.get()) == PLIST_DICT) {
        m_bundleId = PlistValues::string(m_info.get(), "CFBundleIdentifier");
        signatureName = PlistValues::string(m_info.get(), "CFBundleName") + ".sinf";
        result = m_bundleId.empty() ? -1 : 0;
    } else {
        m_info.reset();
    }
    if (result != 0)
        DIAG_LOG("Info.plist does not parse or names no app");
    m_metadata.reset(entryAsData(packagePath.constData(), "iTunesMetadata.plist"));
    // A name with a folder in it would look outside the bundle's signature folder.
    if (signatureName.size() > 5 && signatureName.find('/') == std::string::npos)
        m_signature.reset(entryAsData(packagePath.constData(), signatureName));
    return result;
}

int AppPackage::isSupported(const QByteArray &families, const QByteArray &firmwareVersion) const
{
    if (!families.isEmpty()) {
        QList<quint64> deviceFamilies;
        for (const QByteArray &part : families.split(',')) {
            bool ok = false;
            const quint64 n = part.trimmed().toULongLong(&ok, 10);
            if (!part.trimmed().isEmpty())
                deviceFamilies << (ok ? n : 0);
        }
        // As the device reads it: no family is an iPhone app, a single value
        // is a list of one.
        plist_t list = m_info ? plist_dict_get_item(m_info.get(), "UIDeviceFamily") : nullptr;
        QList<quint64> appFamilies;
        if (m_info && !list) {
            appFamilies << 1;
        } else if (list && plist_get_node_type(list) != PLIST_ARRAY) {
            appFamilies << familyOf(list);
        } else if (list) {
            const uint32_t count = std::min<uint32_t>(plist_array_get_size(list), 64);
            for (uint32_t i = 0; i < count; ++i)
                appFamilies << familyOf(plist_array_get_item(list, i));
        }
        const bool match = std::any_of(appFamilies.begin(), appFamilies.end(),
                                       [&](quint64 f) { return f != 0 && deviceFamilies.contains(f); });
        if (!match)
            return -1001;
    }
    const std::string minimum = PlistValues::string(m_info.get(), "MinimumOSVersion");
    if (!minimum.empty() && compareOsVersions(firmwareVersion, QByteArray::fromStdString(minimum)) < 0)
        return -1002;
    return 0;
}

int AppPackage::compareOsVersions(const QByteArray &a, const QByteArray &b)
{
    const auto numbers = [](const QByteArray &version) {
        QList<quint64> parts;
        for (const QByteArray &part : version.split('.')) {
            if (!part.isEmpty())
                parts << part.toULongLong();   // not a number: 0
        }
        return parts;
    };
    const QList<quint64> l = numbers(a);
    const QList<quint64> r = numbers(b);
    for (int i = 0; i < qMax(l.size(), r.size()); ++i) {
        const quint64 x = l.value(i, 0);
        const quint64 y = r.value(i, 0);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}
