#include "VHouseArrest.h"

#include "VAfcServer.h"
#include "VAppPlist.h"
#include "VConnection.h"
#include "VDevice.h"
#include "VServiceTable.h"

#include "DiagLog.h"

#include <QDir>

namespace {
const VServiceRegistration registration("com.apple.mobile.house_arrest",
                                        [](VConnection &conn) { VHouseArrest(conn).serve(); });
}

VHouseArrest::VHouseArrest(VConnection &conn)
    : m_conn(conn)
    , m_store(conn.device() ? conn.device()->appsDir() : QString())
    , m_restricted(conn.device() && conn.device()->versionAtLeast(8, 3))
{
}

void VHouseArrest::serve()
{
    if (!m_conn.device())
        return;
    for (;;) {
        plist_t raw = nullptr;
        if (!m_conn.recvPlist(&raw))
            return;
        PlistPtr request = makePlistPtr(raw);
        const QString command = VAppPlist::string(request.get(), "Command");
        const QString id = VAppPlist::string(request.get(), "Identifier");
        const bool documents = command == QLatin1String("VendDocuments");
        PlistPtr reply = makePlistPtr(plist_new_dict());
        QString error;
        if (!documents && command != QLatin1String("VendContainer")) {
            error = QStringLiteral("UnknownCommand");
        } else if (!m_store.contains(id)) {
            error = QStringLiteral("ApplicationLookupFailed");
        } else if (m_restricted && !documents && m_store.isStoreApp(id)) {
            error = QStringLiteral("InstallationLookupFailed");
        } else if (m_restricted && documents && !m_store.isFileSharingEnabled(id)) {
            error = QStringLiteral("InstallationLookupFailed");
        }
        if (!error.isEmpty()) {
            DIAG_LOG("house_arrest request refused");
            VAppPlist::setString(reply.get(), "Error", error);
            if (!m_conn.sendPlist(reply.get()))
                return;
            continue;
        }
        const QString root = m_store.appDir(id);
        if (documents)
            QDir(root).mkpath(QStringLiteral("Documents"));
        VAppPlist::setString(reply.get(), "Status", QStringLiteral("Complete"));
        if (!m_conn.sendPlist(reply.get()))
            return;
        VAfcServer::serve(m_conn, root, documents ? QStringLiteral("Documents") : QString());
        return;
    }
}
