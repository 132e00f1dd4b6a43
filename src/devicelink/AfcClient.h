#pragma once

#include "afc/AfcCodec.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ServiceTransport;

// A client of an AFC file service (the media area, or an app container after
// house-arrest vending) over one service stream. Each call is one request and
// its answer, serialised by a mutex, so the client may be shared by threads.
//
// Results: 0 on success, otherwise the negative AFC status (-8 not found,
// -18 no space, ...); -30 when the stream failed, after which the client is
// broken() for good. Paths may carry the client's prefix ("<device id>/").
class AfcClient
{
public:
    AfcClient(std::shared_ptr<ServiceTransport> transport, std::string pathPrefix);

    // The AFC open mode of an fopen-style text ("rb", "wb", "ab", "r+", "w+";
    // "1" probes by opening for reading), or 0 when there is none.
    static uint64_t openMode(const char *mode);

    // Passes rc on, writing a log entry that names the AFC status when it failed.
    static int logged(int rc);

    bool broken() const;
    std::string devicePath(const char *path) const;

    int open(const char *path, uint64_t mode, uint64_t *handle);
    // *length: in the bytes wanted, out the bytes read (0 at the end).
    int read(uint64_t handle, char *buffer, uint32_t *length);
    int write(uint64_t handle, const char *buffer, uint32_t length);
    // Writes length bytes of the local file fd from offset, sent straight
    // from the file where the stream allows it.
    int writeFrom(uint64_t handle, int fd, uint64_t offset, uint32_t length);
    int seek(uint64_t handle, int64_t offset, int whence);
    int tell(uint64_t handle, uint64_t *position);
    int close(uint64_t handle);

    int readDirectory(const char *path, std::vector<std::string> *names);
    int fileInfo(const char *path, Afc::KeyValues *info);
    int deviceInfo(Afc::KeyValues *info);
    int makeDirectory(const char *path);
    int removePath(const char *path);
    int renamePath(const char *from, const char *to);

    // A listing read at once and handed out one name at a time.
    int openDirectory(const char *path, uint64_t *directory);
    // The next name (storage kept until the next call), or null at the end.
    const char *nextEntry(uint64_t directory);
    int closeDirectory(uint64_t directory);

private:
    struct Answer
    {
        uint64_t operation = 0;
        uint64_t value = 0;
        std::string data;
        // Where a DATA answer goes when it fits (read's buffer); otherwise
        // to data. received: the bytes that went there.
        char *into = nullptr;
        size_t intoCapacity = 0;
        size_t received = 0;
    };
    // A request's payload: bytes in memory, or a range of a local file.
    struct Payload
    {
        const char *data = nullptr;
        size_t length = 0;
        int fd = -1;
        uint64_t offset = 0;
    };
    struct Listing
    {
        std::vector<std::string> names;
        size_t next = 0;
        std::string current;
    };

    int request(uint64_t operation, const std::string &headerData, const Payload &payload, Answer *answer,
                size_t dataLimit = Afc::kMaxPayload);
    bool sendAll(const char *data, size_t length);
    bool sendFileAll(int fd, uint64_t offset, size_t length);
    bool receiveAll(char *data, size_t length);
    int fail(const char *why);

    const std::shared_ptr<ServiceTransport> m_transport;
    const std::string m_prefix;
    mutable std::mutex m_mutex;
    uint64_t m_packetNum = 0;
    bool m_broken = false;
    std::mutex m_listingMutex;
    std::map<uint64_t, Listing> m_listings;
    uint64_t m_nextListing = 1;
};
