// The app-container file functions (the "Ex" family): AFC on the stream of a
// vended house-arrest connection, found by its file-service handle.

#include "DevPort.h"

#include "AfcClient.h"
#include "DiagLog.h"
#include "HandleTable.h"

#include <cstdlib>
#include <cstring>

namespace {

std::shared_ptr<AfcClient> clientFor(int fileService)
{
    auto client = HandleTable<AfcClient>::instance().find(fileService);
    if (!client)
        DIAG_LOG("invalid file service handle");
    return client;
}

} // namespace

int zorn_dvpt_fopenEx(int fileService, const char *path, const char *mode, uint64_t *fileRef)
{
    if (fileRef)
        *fileRef = 0;
    const auto client = clientFor(fileService);
    const uint64_t afcMode = AfcClient::openMode(mode);
    if (!client || !path || !fileRef || !afcMode)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->open(path, afcMode, fileRef));
}

int zorn_dvpt_FileRefReadEx(int fileService, uint64_t fileRef, char *buffer, uint32_t *length)
{
    const auto client = clientFor(fileService);
    if (!client || !buffer || !length)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->read(fileRef, buffer, length));
}

int zorn_dvpt_FileRefWriteEx(int fileService, uint64_t fileRef, const char *buffer, uint32_t length)
{
    const auto client = clientFor(fileService);
    if (!client || (!buffer && length))
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->write(fileRef, buffer, length));
}

int zorn_dvpt_FileRefWriteFromEx(int fileService, uint64_t fileRef, int fd, uint64_t offset, uint32_t length)
{
    const auto client = clientFor(fileService);
    if (!client || fd < 0)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->writeFrom(fileRef, fd, offset, length));
}

int zorn_dvpt_FileRefSeekEx(int fileService, uint64_t fileRef, int64_t offset, int whence)
{
    const auto client = clientFor(fileService);
    if (!client)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->seek(fileRef, offset, whence));
}

int zorn_dvpt_FileTellEx(int fileService, uint64_t fileRef, uint64_t *position)
{
    const auto client = clientFor(fileService);
    if (!client || !position)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->tell(fileRef, position));
}

int zorn_dvpt_FileCloseEx(int fileService, uint64_t fileRef)
{
    const auto client = clientFor(fileService);
    if (!client)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->close(fileRef));
}

int zorn_dvpt_DirectoryCreateEx(int fileService, const char *path)
{
    const auto client = clientFor(fileService);
    if (!client || !path)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->makeDirectory(path));
}

int zorn_dvpt_DirectoryOpen(int fileService, const char *path, uint64_t *directory)
{
    const auto client = clientFor(fileService);
    if (!client || !path || !directory)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->openDirectory(path, directory));
}

int zorn_dvpt_DirectoryRead(int fileService, uint64_t directory, const char **name)
{
    const auto client = clientFor(fileService);
    if (!client || !name)
        return -int(Afc::InvalidArg);
    *name = client->nextEntry(directory);
    return 0;
}

int zorn_dvpt_DirectoryClose(int fileService, uint64_t directory)
{
    const auto client = clientFor(fileService);
    if (!client)
        return -int(Afc::InvalidArg);
    return client->closeDirectory(directory);
}

int DVPT_IsFileEx(const char *path, int fileService)
{
    const auto client = clientFor(fileService);
    Afc::KeyValues info;
    if (!client || !path || client->fileInfo(path, &info) != 0)
        return 0;
    for (const auto &kv : info) {
        if (kv.first == "st_ifmt")
            return kv.second == "S_IFREG" ? 1 : 0;
    }
    return 0;
}

int zorn_dvpt_get_file_info(int fileService, const char *path, uint64_t *size, uint64_t *modifiedTime,
                            uint64_t *birthTime)
{
    return DVPT_GetFileInfoEx(fileService, path, size, modifiedTime, birthTime, nullptr);
}

int DVPT_GetFileInfoEx(int fileService, const char *path, uint64_t *size, uint64_t *modifiedTime,
                       uint64_t *birthTime, int *isFile)
{
    const auto client = clientFor(fileService);
    if (!client || !path)
        return -int(Afc::InvalidArg);
    for (uint64_t *out : {size, modifiedTime, birthTime}) {
        if (out)
            *out = 0;
    }
    if (isFile)
        *isFile = 0;
    Afc::KeyValues info;
    const int rc = client->fileInfo(path, &info);
    if (rc != 0)
        return AfcClient::logged(rc);
    for (const auto &kv : info) {
        const uint64_t value = std::strtoull(kv.second.c_str(), nullptr, 10);
        if (kv.first == "st_size" && size)
            *size = value;
        else if (kv.first == "st_mtime" && modifiedTime)
            *modifiedTime = value;
        else if (kv.first == "st_birthtime" && birthTime)
            *birthTime = value;
        else if (kv.first == "st_ifmt" && isFile)
            *isFile = kv.second == "S_IFREG" ? 1 : 0;
    }
    return 0;
}

int DVPT_RemoveFileEx(int fileService, const char *path)
{
    const auto client = clientFor(fileService);
    if (!client || !path)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->removePath(path));
}

int DVPT_RenameFileEx(int fileService, const char *from, const char *to)
{
    const auto client = clientFor(fileService);
    if (!client || !from || !to)
        return -int(Afc::InvalidArg);
    return AfcClient::logged(client->renamePath(from, to));
}
