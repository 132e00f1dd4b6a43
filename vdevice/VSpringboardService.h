#pragma once

// com.apple.springboardservices of a virtual device over one connection:
// getIconState (formatVersion "2": [dock, page 1, ...] of app items and
// folders {displayName, listType "folder", iconLists}; without a format
// version the older form with rows of four and false for empty slots),
// setIconState (no reply), getIconPNGData, getHomeScreenWallpaperPNGData,
// getInterfaceOrientation, getHomeScreenIconMetrics. The layout comes from
// the apps folder (VAppLayout.h). Requests come as binary plists.

#include "PlistFrame.h"
#include "VAppStore.h"

class VConnection;

class VSpringboardService
{
public:
    explicit VSpringboardService(VConnection &conn);
    void serve();

    // The icon state as getIconState answers it; owned by the caller.
    static plist_t iconState(const VAppStore &store, bool formatVersion2);

private:
    bool handle(plist_t request);
    static plist_t appItem(const VAppStore &store, const QString &identifier);

    VConnection &m_conn;
    VAppStore m_store;
};
