#pragma once

// The device access functions ("DevPort"). Every function returns its result
// code and never throws; failures write a diagnostic log entry.
//
// Paths of the media area are "<device id>/<relative path>"; paths of an app
// container name the same file with or without a leading "<device id>/".

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ServiceTransport;

// What zorn_dvpt_OpenService hands out for one opened service. The message
// channel uses `service` with zorn_dvpt_send / zorn_dvpt_recv; the Ex file
// functions take `fileService` (valid after house-arrest vending, else 0).
// The record belongs to the device access functions: release it with
// zorn_dvpt_CloseService only.
struct ServiceConnection
{
    int32_t device = 0;        // internal device slot (0 for a bare socket)
    int32_t service = 0;       // handle for zorn_dvpt_send / zorn_dvpt_recv
    int32_t fileService = 0;   // handle for the Ex file functions
};

// Device arrival (state 1) and removal (state 0). State -1: a device that
// usbmuxd announced could not be opened because it did not answer properly
// (a lockdown reply that does not parse, a connection that broke off); it
// never arrived and is tried again only when usbmuxd announces it anew. A
// device that stays locked or untrusted is told of by the passcode callback
// instead. Runs on a library thread.
constexpr int kDeviceFailed = -1;
typedef void (*DVPT_DeviceChangeCallback)(int state, const char *deviceId);
// A locked device, or one that waits for the user to tap Trust or was denied
// trust, could not be opened. Runs on a library thread; answering 1 retries,
// 0 gives up. While the device waits for Trust, a retry polls it about once a
// second for the trust wait (DVPT_SetTrustWait) before asking again.
typedef int (*DVPT_PasscodeCallback)(const char *deviceId);

// ---- device-wide ----------------------------------------------------------
int DVPT_Init(DVPT_DeviceChangeCallback onChange, const char *tempFolder,
              const char *itunesVersion, int reserved, DVPT_PasscodeCallback onPasscode,
              int usbOnly);
// Stops scanning, waits for the library's threads and forgets every device.
void DVPT_Shutdown();
// 0 when the device service (usbmuxd) answers, -1 when it does not.
int DVPT_CheckService();
// How long a device waiting for Trust is polled after the passcode callback
// answered 1 (default and <= 0: a minute).
void DVPT_SetTrustWait(int ms);
// Opens only the devices with these UDIDs (empty: every device). Set before
// DVPT_Init; a program working on one device need not open the others.
void DVPT_SetDeviceFilter(const std::vector<std::string> &udids);
int DVPT_Eject(const char *deviceId);
int DVPT_GetDeviceInfoMap(const char *deviceId, std::map<std::string, std::string> *values);
// Copies the value into buffer (NUL-terminated, cut to bufferSize - 1). 0 on success.
int DVPT_GetValue(const char *key, char *buffer, int bufferSize, const char *deviceId);
// The values of a lockdown domain ("com.apple.mobile.battery") as texts:
// numbers in decimal, booleans "true"/"false"; nested values are left out.
// At most kMaxDomainValues entries of at most kMaxDomainValueLength bytes.
// 0 on success; a domain the device does not know gives an empty map and 0.
constexpr int kMaxDomainValues = 256;
constexpr int kMaxDomainValueLength = 255;
int DVPT_GetDomainValues(const char *deviceId, const char *domain,
                         std::map<std::string, std::string> *values);
// Nonzero on success. free is the library's first count.
int DVPT_GetDiskSpace(const char *deviceId, uint64_t *free, uint64_t *total, uint64_t *blockSize);
// Comma-separated device families ("1", "1,2", "3"); length <= 0 means none.
int zorn_dvpt_get_device_info_length(const char *deviceId);
int zorn_dvpt_get_device_info(const char *deviceId, char *buffer, int bufferSize);

// ---- services ---------------------------------------------------------------
ServiceConnection *zorn_dvpt_OpenService(const char *deviceId, const char *serviceName);
void zorn_dvpt_CloseService(ServiceConnection *connection);
// Bytes moved, or -1 on error or when the peer stays silent past the
// transport's time-out.
int zorn_dvpt_send(int service, const char *buffer, int length);
int zorn_dvpt_recv(int service, char *buffer, int length);

// Wraps an already connected stream socket as a service connection (the
// descriptor is owned from now on and closed by zorn_dvpt_CloseService).
// timeoutMs bounds every single send and receive; <= 0 uses the default.
ServiceConnection *zorn_dvpt_ServiceFromSocket(int fd, int timeoutMs);
// The default bound for one send or receive on a service connection, long
// enough for a device that installs a large app between two messages.
constexpr int kDefaultServiceTimeoutMs = 5 * 60 * 1000;
// Changes that bound for connections opened from now on (<= 0: the default).
void DVPT_SetServiceTimeout(int timeoutMs);
int DVPT_GetServiceTimeout();

// ---- media area -------------------------------------------------------------
int zorn_dvpt_DirectoryCreate(const char *deviceId, const char *path);
int zorn_dvpt_fopen(const char *deviceId, const char *path, const char *mode, uint64_t *fileRef);
int zorn_dvpt_FileRefWrite(const char *deviceId, uint64_t fileRef, const char *buffer, uint32_t length);
// Writes length bytes of the open local file fd from offset (sent without a
// copy through this process where the connection allows it).
int zorn_dvpt_FileRefWriteFrom(const char *deviceId, uint64_t fileRef, int fd, uint64_t offset, uint32_t length);
int zorn_dvpt_FileRefRead(const char *deviceId, uint64_t fileRef, char *buffer, uint32_t *length);
int zorn_dvpt_FileRefSeek(const char *deviceId, uint64_t fileRef, int64_t offset, int whence);
int64_t zorn_dvpt_FileTell(const char *deviceId, uint64_t fileRef);
int zorn_dvpt_FileClose(const char *deviceId, uint64_t fileRef);
int zorn_dvpt_RemovePath(const char *deviceId, const char *path);
int zorn_dvpt_RenamePath(const char *deviceId, const char *from, const char *to);

// ---- app container (file service of a vended house-arrest connection) -------
// mode: "rb", "wb", "ab", or "1" to probe for existence.
int zorn_dvpt_fopenEx(int fileService, const char *path, const char *mode, uint64_t *fileRef);
int zorn_dvpt_FileRefReadEx(int fileService, uint64_t fileRef, char *buffer, uint32_t *length);
int zorn_dvpt_FileRefWriteEx(int fileService, uint64_t fileRef, const char *buffer, uint32_t length);
int zorn_dvpt_FileRefWriteFromEx(int fileService, uint64_t fileRef, int fd, uint64_t offset, uint32_t length);
int zorn_dvpt_FileRefSeekEx(int fileService, uint64_t fileRef, int64_t offset, int whence);
int zorn_dvpt_FileTellEx(int fileService, uint64_t fileRef, uint64_t *position);
int zorn_dvpt_FileCloseEx(int fileService, uint64_t fileRef);
int zorn_dvpt_DirectoryCreateEx(int fileService, const char *path);
int zorn_dvpt_DirectoryOpen(int fileService, const char *path, uint64_t *directory);
// *name points into storage owned by the directory until the next call; null at the end.
int zorn_dvpt_DirectoryRead(int fileService, uint64_t directory, const char **name);
int zorn_dvpt_DirectoryClose(int fileService, uint64_t directory);
int DVPT_IsFileEx(const char *path, int fileService);
// Times in nanoseconds since 1970.
int zorn_dvpt_get_file_info(int fileService, const char *path, uint64_t *size,
                            uint64_t *modifiedTime, uint64_t *birthTime);
// The same, and whether the path is a regular file, from one request.
int DVPT_GetFileInfoEx(int fileService, const char *path, uint64_t *size, uint64_t *modifiedTime,
                       uint64_t *birthTime, int *isFile);
int DVPT_RemoveFileEx(int fileService, const char *path);
int DVPT_RenameFileEx(int fileService, const char *from, const char *to);

// Owns a service connection and closes it when it goes.
struct ServiceConnectionCloser
{
    void operator()(ServiceConnection *connection) const { zorn_dvpt_CloseService(connection); }
};
using ServicePtr = std::unique_ptr<ServiceConnection, ServiceConnectionCloser>;
