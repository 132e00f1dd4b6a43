#pragma once

// com.apple.mobile.house_arrest of a virtual device. The client sends
// {Command: "VendContainer" | "VendDocuments", Identifier}; on
// {Status: "Complete"} the same connection carries AFC rooted at the app's
// folder (VAppStore.h), limited to Documents/ after VendDocuments.
// An unknown app answers {Error: "ApplicationLookupFailed"} and the client
// may ask again.
//
// From ProductVersion 8.3, VendContainer of an App Store app (one with
// metadata or a signature) and VendDocuments of an app without
// UIFileSharingEnabled answer "InstallationLookupFailed", as devices do.

#include "VAppStore.h"

class VConnection;

class VHouseArrest
{
public:
    explicit VHouseArrest(VConnection &conn);
    void serve();

private:
    VConnection &m_conn;
    VAppStore m_store;
    bool m_restricted = false;   // ProductVersion 8.3 or later
};
