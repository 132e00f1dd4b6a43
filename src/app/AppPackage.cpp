#include "AppPackage.h"

#include "DeviceFamilyTable.h"
#include "DiagLog.h"
#include "PlistValues.h"
#include "ipodzip.h"

#include <QList>

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
        plist_t list = m_info ? plist_dict_get_item(m_info.get(), "UIDeviceFamily") : nullptr;
        if (plist_get_node_type(list) != PLIST_ARRAY || plist_array_get_size(list) == 0)
            return -1001;
        bool match = false;
        const uint32_t count = plist_array_get_size(list);
        for (uint32_t i = 0; i < count && !match; ++i) {
            plist_t node = plist_array_get_item(list, i);
            quint64 family = 0;
            std::string text;
            if (PlistValues::string(node, &text)) {
                bool ok = false;
                family = QByteArray::fromStdString(text).toULongLong(&ok, 10);
            } else if (plist_get_node_type(node) == PLIST_UINT) {
                uint64_t v = 0;
                plist_get_uint_val(node, &v);
                family = v;
            } else {
                DIAG_LOG("node type error!!!");
            }
            match = family != 0 && deviceFamilies.contains(family);
        }
        if (!match)
            return -1001;
    }
    const std::string minimum = PlistValues::string(m_info.get(), "MinimumOSVersion");
    if (!minimum.empty() && DeviceFamilyTable::compareVersions(firmwareVersion, QByteArray::fromStdString(minimum)) < 0)
        return -1002;
    return 0;
}
