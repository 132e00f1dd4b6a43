#pragma once

#include "DevPort.h"
#include "PlistFrame.h"

#include <QByteArray>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class AppContext;
class AppTable;
struct AppRecord;

// Reading the app list of a device: the installation service's Browse (or
// Lookup of named apps), then the springboard's home-screen names and icons
// and the containers' store metadata and documents.
//
// The list goes out (data_loadcompleted) as soon as the installation
// service has sent it; the rest is fetched on connections of its own at the
// same time (names on one springboard connection asked before the list,
// icons on a second once the list is in, containers on a few house-arrest
// connections from the list's first page on) and arrives as item changes,
// all emitted from the calling thread after the list.
class AppLoader
{
public:
    using Names = std::vector<std::pair<std::string, std::string>>;   // bundle id, home-screen name

    explicit AppLoader(const AppContext &context);

    // parts: AppContext::LoadPart flags. With appIds, only those apps are
    // looked up (apps the device does not have are left out). 0 when the
    // list was read and, if asked for, the home-screen names too.
    int load(int parts, const std::vector<std::string> &appIds = {});
    // Browse on a fresh installation-service connection, each app
    // dictionary handed to each as its page arrives (valid for the call).
    // False when the service cannot be reached or the list came incomplete.
    bool browse(std::initializer_list<const char *> attributes, const std::function<void(plist_t app)> &each) const;
    // Lookup of the named apps: their dictionaries as an array (owned), or
    // null when the service cannot be reached.
    PlistPtr lookup(const std::vector<std::string> &appIds, std::initializer_list<const char *> attributes) const;
    // A record from one app dictionary with what the list gives (store
    // metadata included when the list carries it); stored in the table.
    // False when the dictionary names no app.
    bool addData(plist_t app, AppRecord *record);
    // Store metadata when the record lacks it and, with documents, the
    // documents of a file-sharing app, from the app's container. 0 when
    // the metadata was read (or was not needed).
    int getMetadata(const std::string &appId, AppRecord *record, bool documents = true);
    static void getMetaplistData(plist_t metadata, AppRecord *record);
    // Applies the home-screen display names to the table. 0 when a reply came.
    int applyHomeScreenNames(ServiceConnection *springboard);
    // The home-screen names (every page and folder). 0 when a reply came.
    static int homeScreenNames(ServiceConnection *springboard, Names *names);
    // 0, -1 when the app has no icon, -2 when the connection failed.
    static int iconPng(ServiceConnection *springboard, const std::string &appId, QByteArray *png);

    static const std::initializer_list<const char *> kAttributes;
    // House-arrest connections open at once while documents are read: a
    // device serves a few at a time.
    static constexpr int kContainerConnections = 4;

private:
    const AppContext &m_ctx;
    AppTable *m_table;
};
