// The service-stream part of the device access functions: send, receive and
// release over whatever transport a ServiceConnection was opened on, and the
// file service that rides on the same stream after house-arrest vending.

#include "DevPort.h"

#include "AfcClient.h"
#include "DiagLog.h"
#include "HandleTable.h"
#include "ServiceTransport.h"
#include "SocketTransport.h"

#include <memory>

using ServiceTable = HandleTable<ServiceTransport>;
using FileServiceTable = HandleTable<AfcClient>;

int zorn_dvpt_send(int service, const char *buffer, int length)
{
    const auto transport = ServiceTable::instance().find(service);
    if (!transport || !buffer || length < 0) {
        DIAG_LOG("invalid service handle or buffer");
        return -1;
    }
    if (length == 0)
        return 0;
    return transport->send(buffer, length);
}

int zorn_dvpt_recv(int service, char *buffer, int length)
{
    const auto transport = ServiceTable::instance().find(service);
    if (!transport || !buffer || length < 0) {
        DIAG_LOG("invalid service handle or buffer");
        return -1;
    }
    if (length == 0)
        return 0;
    return transport->recv(buffer, length);
}

ServiceConnection *makeServiceConnection(std::shared_ptr<ServiceTransport> transport, const std::string &pathPrefix)
{
    auto *connection = new ServiceConnection;
    connection->service = ServiceTable::instance().add(transport);
    connection->fileService = FileServiceTable::instance().add(std::make_shared<AfcClient>(transport, pathPrefix));
    return connection;
}

ServiceConnection *zorn_dvpt_ServiceFromSocket(int fd, int timeoutMs)
{
    if (fd < 0) {
        DIAG_LOG("invalid socket");
        return nullptr;
    }
    return makeServiceConnection(
        std::make_shared<SocketTransport>(fd, timeoutMs > 0 ? timeoutMs : kDefaultServiceTimeoutMs), std::string());
}

void zorn_dvpt_CloseService(ServiceConnection *connection)
{
    if (!connection)
        return;
    FileServiceTable::instance().take(connection->fileService);
    if (const auto transport = ServiceTable::instance().take(connection->service))
        transport->close();
    delete connection;
}
