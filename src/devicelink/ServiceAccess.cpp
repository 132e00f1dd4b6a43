// The service-stream part of the device access functions: send, receive and
// release over whatever transport a ServiceConnection was opened on.

#include "DevPort.h"

#include "DiagLog.h"
#include "ServiceRegistry.h"
#include "ServiceTransport.h"
#include "SocketTransport.h"

#include <memory>

int zorn_dvpt_send(int service, const char *buffer, int length)
{
    const auto transport = ServiceRegistry::instance().find(service);
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
    const auto transport = ServiceRegistry::instance().find(service);
    if (!transport || !buffer || length < 0) {
        DIAG_LOG("invalid service handle or buffer");
        return -1;
    }
    if (length == 0)
        return 0;
    return transport->recv(buffer, length);
}

ServiceConnection *zorn_dvpt_ServiceFromSocket(int fd, int timeoutMs)
{
    if (fd < 0) {
        DIAG_LOG("invalid socket");
        return nullptr;
    }
    auto transport = std::make_shared<SocketTransport>(fd, timeoutMs > 0 ? timeoutMs : kDefaultServiceTimeoutMs);
    auto *connection = new ServiceConnection;
    connection->service = ServiceRegistry::instance().add(std::move(transport));
    return connection;
}

void zorn_dvpt_CloseService(ServiceConnection *connection)
{
    if (!connection)
        return;
    if (connection->service)
        ServiceRegistry::instance().remove(connection->service);
    delete connection;
}
