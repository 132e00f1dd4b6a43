#include "VAppLayout.h"

#include "VAppPlist.h"
#include "VAppStore.h"

#include <QSet>

VAppLayout::VAppLayout(const VAppStore &store)
    : m_store(store)
{
}

QString VAppLayout::itemIdentifier(plist_t node, bool stateForm)
{
    if (!stateForm && plist_get_node_type(node) == PLIST_STRING) {
        char *value = nullptr;
        plist_get_string_val(node, &value);
        const QString out = value ? QString::fromUtf8(value) : QString();
        free(value);
        return out;
    }
    if (plist_get_node_type(node) != PLIST_DICT)
        return QString();
    const QString id = VAppPlist::string(node, "displayIdentifier");
    return id.isEmpty() ? VAppPlist::string(node, "bundleIdentifier") : id;
}

// Reads a list of app identifiers; rows of the older icon state (arrays)
// are flattened and empty slots (false) skipped.
void VAppLayout::readFlat(plist_t array, QStringList *ids, bool stateForm)
{
    if (!array || plist_get_node_type(array) != PLIST_ARRAY)
        return;
    const uint32_t count = std::min<uint32_t>(plist_array_get_size(array), 1000);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t node = plist_array_get_item(array, i);
        if (plist_get_node_type(node) == PLIST_ARRAY) {
            readFlat(node, ids, stateForm);
            continue;
        }
        const QString id = itemIdentifier(node, stateForm);
        if (!id.isEmpty())
            *ids << id;
    }
}

void VAppLayout::readItems(plist_t array, QList<Item> *items, bool stateForm) const
{
    if (!array || plist_get_node_type(array) != PLIST_ARRAY)
        return;
    const uint32_t count = std::min<uint32_t>(plist_array_get_size(array), 1000);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t node = plist_array_get_item(array, i);
        if (plist_get_node_type(node) == PLIST_ARRAY) {
            readItems(node, items, stateForm);
            continue;
        }
        plist_t lists = plist_get_node_type(node) == PLIST_DICT ? plist_dict_get_item(node, "iconLists")
                                                                 : nullptr;
        Item item;
        if (lists && plist_get_node_type(lists) == PLIST_ARRAY) {
            item.folderName = VAppPlist::string(node, "displayName");
            const uint32_t pageCount = std::min<uint32_t>(plist_array_get_size(lists), 100);
            for (uint32_t p = 0; p < pageCount; ++p) {
                QStringList ids;
                readFlat(plist_array_get_item(lists, p), &ids, stateForm);
                item.folderPages << ids;
            }
        } else {
            item.app = itemIdentifier(node, stateForm);
            if (item.app.isEmpty())
                continue;
        }
        *items << item;
    }
}

void VAppLayout::load()
{
    dock.clear();
    pages.clear();
    PlistPtr file = VAppPlist::readFile(m_store.appsDir() + QLatin1Char('/') + QLatin1String(VAppStore::kLayoutFile));
    if (file && plist_get_node_type(file.get()) == PLIST_ARRAY) {
        const uint32_t count = std::min<uint32_t>(plist_array_get_size(file.get()), 100);
        if (count > 0)
            readFlat(plist_array_get_item(file.get(), 0), &dock, false);
        for (uint32_t i = 1; i < count; ++i) {
            QList<Item> items;
            readItems(plist_array_get_item(file.get(), i), &items, false);
            pages << items;
        }
    }
    // Keep each installed app once, in its first place.
    const QStringList ids = m_store.identifiers();
    const QSet<QString> installed(ids.begin(), ids.end());
    QSet<QString> seen;
    const auto keep = [&](const QString &id) {
        if (!installed.contains(id) || seen.contains(id))
            return false;
        seen.insert(id);
        return true;
    };
    QStringList newDock;
    for (const QString &id : dock) {
        if (keep(id) && newDock.size() < kDockSize)
            newDock << id;
    }
    dock = newDock;
    QList<QList<Item>> newPages;
    for (const QList<Item> &page : pages) {
        QList<Item> newPage;
        for (Item item : page) {
            if (!item.isFolder()) {
                if (keep(item.app))
                    newPage << item;
                continue;
            }
            QList<QStringList> folderPages;
            for (const QStringList &list : item.folderPages) {
                QStringList kept;
                for (const QString &id : list) {
                    if (keep(id))
                        kept << id;
                }
                if (!kept.isEmpty())
                    folderPages << kept;
            }
            item.folderPages = folderPages;
            if (!folderPages.isEmpty())
                newPage << item;
        }
        if (!newPage.isEmpty())
            newPages << newPage;
    }
    pages = newPages;
    for (const QString &id : ids) {
        if (!seen.contains(id))
            add(id);
    }
}

bool VAppLayout::save() const
{
    PlistPtr root = makePlistPtr(plist_new_array());
    plist_t dockNode = plist_new_array();
    for (const QString &id : dock)
        plist_array_append_item(dockNode, plist_new_string(id.toUtf8().constData()));
    plist_array_append_item(root.get(), dockNode);
    for (const QList<Item> &page : pages) {
        plist_t pageNode = plist_new_array();
        for (const Item &item : page) {
            if (!item.isFolder()) {
                plist_array_append_item(pageNode, plist_new_string(item.app.toUtf8().constData()));
                continue;
            }
            plist_t folder = plist_new_dict();
            VAppPlist::setString(folder, "displayName", item.folderName);
            VAppPlist::setString(folder, "listType", QStringLiteral("folder"));
            plist_t lists = plist_new_array();
            for (const QStringList &list : item.folderPages) {
                plist_t listNode = plist_new_array();
                for (const QString &id : list)
                    plist_array_append_item(listNode, plist_new_string(id.toUtf8().constData()));
                plist_array_append_item(lists, listNode);
            }
            plist_dict_set_item(folder, "iconLists", lists);
            plist_array_append_item(pageNode, folder);
        }
        plist_array_append_item(root.get(), pageNode);
    }
    return VAppPlist::writeFile(m_store.appsDir() + QLatin1Char('/') + QLatin1String(VAppStore::kLayoutFile),
                                root.get());
}

QStringList VAppLayout::placed() const
{
    QStringList out = dock;
    for (const QList<Item> &page : pages) {
        for (const Item &item : page) {
            if (!item.isFolder())
                out << item.app;
            for (const QStringList &list : item.folderPages)
                out << list;
        }
    }
    return out;
}

void VAppLayout::add(const QString &identifier)
{
    if (placed().contains(identifier))
        return;
    if (pages.isEmpty() || pages.last().size() >= kPageSize)
        pages << QList<Item>();
    Item item;
    item.app = identifier;
    pages.last() << item;
}

void VAppLayout::remove(const QString &identifier)
{
    dock.removeAll(identifier);
    for (QList<Item> &page : pages) {
        for (int i = page.size() - 1; i >= 0; --i) {
            Item &item = page[i];
            if (!item.isFolder()) {
                if (item.app == identifier)
                    page.removeAt(i);
                continue;
            }
            for (QStringList &list : item.folderPages)
                list.removeAll(identifier);
            item.folderPages.removeAll(QStringList());
            if (item.folderPages.isEmpty())
                page.removeAt(i);
        }
    }
    for (int i = pages.size() - 1; i >= 0; --i) {
        if (pages[i].isEmpty())
            pages.removeAt(i);
    }
}

void VAppLayout::setFromIconState(plist_t state)
{
    dock.clear();
    pages.clear();
    if (!state || plist_get_node_type(state) != PLIST_ARRAY)
        return;
    const uint32_t count = std::min<uint32_t>(plist_array_get_size(state), 100);
    if (count > 0)
        readFlat(plist_array_get_item(state, 0), &dock, true);
    for (uint32_t i = 1; i < count; ++i) {
        QList<Item> items;
        readItems(plist_array_get_item(state, i), &items, true);
        pages << items;
    }
}
