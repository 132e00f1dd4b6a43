// The media-area file functions: AFC on the device's com.apple.afc service,
// one cached client per device. File references are the AFC handles.

#include "DevPort.h"

#include "AfcClient.h"
#include "DeviceManager.h"
#include "DeviceSession.h"
#include "DiagLog.h"

namespace {

std::shared_ptr<AfcClient> mediaFor(const char *deviceId)
{
    const auto session = deviceId ? DeviceManager::instance().find(deviceId) : nullptr;
    auto client = session ? session->mediaClient(DVPT_GetServiceTimeout()) : nullptr;
    if (!client)
        DIAG_LOG("media area not reachable");
    return client;
}

} // namespace

int zorn_dvpt_DirectoryCreate(const char *deviceId, const char *path)
{
    const auto client = mediaFor(deviceId);
    if (!client || !path)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->makeDirectory(path));
}

int zorn_dvpt_fopen(const char *deviceId, const char *path, const char *mode, uint64_t *fileRef)
{
    if (fileRef)
        *fileRef = 0;
    const auto client = mediaFor(deviceId);
    const uint64_t afcMode = AfcClient::openMode(mode);
    if (!client || !path || !fileRef || !afcMode)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->open(path, afcMode, fileRef));
}

int zorn_dvpt_FileRefWrite(const char *deviceId, uint64_t fileRef, const char *buffer, uint32_t length)
{
    const auto client = mediaFor(deviceId);
    if (!client || (!buffer && length))
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->write(fileRef, buffer, length));
}

int zorn_dvpt_FileRefWriteFrom(const char *deviceId, uint64_t fileRef, int fd, uint64_t offset, uint32_t length)
{
    const auto client = mediaFor(deviceId);
    if (!client || fd < 0)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->writeFrom(fileRef, fd, offset, length));
}

int zorn_dvpt_FileRefRead(const char *deviceId, uint64_t fileRef, char *buffer, uint32_t *length)
{
    const auto client = mediaFor(deviceId);
    if (!client || !buffer || !length)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->read(fileRef, buffer, length));
}

int zorn_dvpt_FileRefSeek(const char *deviceId, uint64_t fileRef, int64_t offset, int whence)
{
    const auto client = mediaFor(deviceId);
    if (!client)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->seek(fileRef, offset, whence));
}

int64_t zorn_dvpt_FileTell(const char *deviceId, uint64_t fileRef)
{
    const auto client = mediaFor(deviceId);
    uint64_t position = 0;
    if (!client || AfcClient::logged(client->tell(fileRef, &position)) != 0)
        return -1;
    return int64_t(position);
}

int zorn_dvpt_FileClose(const char *deviceId, uint64_t fileRef)
{
    const auto client = mediaFor(deviceId);
    if (!client)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->close(fileRef));
}

int zorn_dvpt_RemovePath(const char *deviceId, const char *path)
{
    const auto client = mediaFor(deviceId);
    if (!client || !path)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->removePath(path));
}

int zorn_dvpt_RenamePath(const char *deviceId, const char *from, const char *to)
{
    const auto client = mediaFor(deviceId);
    if (!client || !from || !to)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->renamePath(from, to));
}
