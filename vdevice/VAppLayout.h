#pragma once

// The home-screen layout of a virtual device, <apps>/IconState.plist:
// an array whose element 0 is the dock and elements 1..N the pages, each an
// array of items. An item is a bundle identifier (string) or a folder
// {displayName, listType: "folder", iconLists: [[identifiers...], ...]}.
//
// load() reconciles the file with the installed apps: identifiers that are
// not installed are dropped, installed apps that are not placed are appended
// to the last page (pages hold 20 items, the dock 4, folders 9 per list).
// Not thread-safe: hold the store's mutex around load/change/save.

#include "PlistFrame.h"

#include <QList>
#include <QString>
#include <QStringList>

class VAppStore;

class VAppLayout
{
public:
    static constexpr int kPageSize = 20;
    static constexpr int kDockSize = 4;
    static constexpr int kFolderPageSize = 9;

    struct Item
    {
        QString app;                   // empty for a folder
        QString folderName;
        QList<QStringList> folderPages;
        bool isFolder() const { return app.isEmpty(); }
    };

    explicit VAppLayout(const VAppStore &store);

    void load();
    bool save() const;

    void add(const QString &identifier);   // at the end of the last page
    void remove(const QString &identifier);
    // Replaces the layout from a springboard icon state (format 2 or the
    // older one with rows), taking displayIdentifier/bundleIdentifier.
    void setFromIconState(plist_t state);

    QStringList dock;
    QList<QList<Item>> pages;

    // Every identifier placed anywhere.
    QStringList placed() const;

private:
    void readItems(plist_t array, QList<Item> *items, bool stateForm) const;
    static void readFlat(plist_t array, QStringList *ids, bool stateForm);
    static QString itemIdentifier(plist_t node, bool stateForm);

    const VAppStore &m_store;
};
