#pragma once

#include "DevPort.h"
#include "PlistFrame.h"

#include <QByteArray>

#include <initializer_list>
#include <string>

class AppHandler;
class AppTable;
struct AppRecord;

// Reading the app list of a device: the installation service's Browse, the
// springboard's icons and home-screen names, and the store metadata.
class AppLoader
{
public:
    AppLoader(AppHandler *handler, AppTable *table);

    int load();
    // Browse on a fresh installation-service connection: the app
    // dictionaries (owned), or null when the service cannot be reached.
    PlistPtr browse(std::initializer_list<const char *> attributes) const;
    // A record from one app dictionary, with icon and metadata; stored in
    // the table. False when the dictionary names no app.
    bool addData(ServiceConnection *springboard, plist_t app, AppRecord *record);
    // Store metadata and, for file-sharing apps, the documents, from the
    // app's container. 0 when the metadata was read.
    int getMetadata(const std::string &appId, AppRecord *record);
    static void getMetaplistData(plist_t metadata, AppRecord *record);
    // Applies the home-screen display names to the table. 0 when a reply came.
    int applyHomeScreenNames(ServiceConnection *springboard);

    static const std::initializer_list<const char *> kAttributes;

private:
    int iconPng(ServiceConnection *springboard, const std::string &appId, QByteArray *png);

    AppHandler *m_handler;
    AppTable *m_table;
};
