#include "AfcClient.h"

#include "DiagLog.h"
#include "ServiceTransport.h"

#include <cstring>

namespace {

int statusResult(uint64_t status)
{
    return status == 0 ? 0 : -int(status > 1000 ? Afc::UnknownError : status);
}

} // namespace

AfcClient::AfcClient(std::shared_ptr<ServiceTransport> transport, std::string pathPrefix)
    : m_transport(std::move(transport)), m_prefix(std::move(pathPrefix))
{
}

uint64_t AfcClient::openMode(const char *mode)
{
    static const struct { const char *text; uint64_t mode; } kModes[] = {
        {"rb", Afc::ReadOnly}, {"r", Afc::ReadOnly}, {"1", Afc::ReadOnly},
        {"wb", Afc::WriteOnly}, {"w", Afc::WriteOnly},
        {"ab", Afc::Append}, {"a", Afc::Append},
        {"r+", Afc::ReadWrite}, {"rb+", Afc::ReadWrite}, {"r+b", Afc::ReadWrite},
        {"w+", Afc::WriteRead}, {"wb+", Afc::WriteRead}, {"w+b", Afc::WriteRead},
        {"a+", Afc::ReadAppend}, {"ab+", Afc::ReadAppend}, {"a+b", Afc::ReadAppend},
    };
    for (const auto &m : kModes) {
        if (mode && std::strcmp(mode, m.text) == 0)
            return m.mode;
    }
    return 0;
}

int AfcClient::logged(int rc)
{
    if (rc != 0)
        DIAG_LOG(Afc::statusName(uint64_t(-rc)));
    return rc;
}

bool AfcClient::broken() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_broken;
}

std::string AfcClient::devicePath(const char *path) const
{
    std::string p(path ? path : "");
    if (!m_prefix.empty() && p.compare(0, m_prefix.size(), m_prefix) == 0)
        p.erase(0, m_prefix.size());
    return p;
}

int AfcClient::fail(const char *why)
{
    m_broken = true;
    DIAG_LOG(why);
    return -int(Afc::MuxError);
}

bool AfcClient::sendAll(const char *data, size_t length)
{
    while (length > 0) {
        const int chunk = int(std::min<size_t>(length, 1u << 30));
        const int sent = m_transport->send(data, chunk);
        if (sent <= 0)
            return false;
        data += sent;
        length -= size_t(sent);
    }
    return true;
}

bool AfcClient::sendFileAll(int fd, uint64_t offset, size_t length)
{
    while (length > 0) {
        const int chunk = int(std::min<size_t>(length, 1u << 30));
        const int sent = m_transport->sendFile(fd, offset, chunk);
        if (sent <= 0)
            return false;
        offset += uint64_t(sent);
        length -= size_t(sent);
    }
    return true;
}

bool AfcClient::receiveAll(char *data, size_t length)
{
    while (length > 0) {
        const int chunk = int(std::min<size_t>(length, 1u << 30));
        const int got = m_transport->recv(data, chunk);
        if (got <= 0)
            return false;
        data += got;
        length -= size_t(got);
    }
    return true;
}

int AfcClient::request(uint64_t operation, const std::string &headerData, const Payload &payload, Answer *answer,
                       size_t dataLimit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_broken || !m_transport)
        return -int(Afc::MuxError);

    Afc::Header header;
    header.packetNum = ++m_packetNum;
    header.operation = operation;
    header.thisLength = Afc::kHeaderSize + headerData.size();
    header.entireLength = header.thisLength + payload.length;
    std::string head(Afc::kHeaderSize, '\0');
    Afc::encodeHeader(header, &head[0]);
    head += headerData;
    const bool sent = sendAll(head.data(), head.size())
        && (payload.length == 0
            || (payload.fd >= 0 ? sendFileAll(payload.fd, payload.offset, payload.length)
                                : sendAll(payload.data, payload.length)));
    if (!sent)
        return fail("AFC request not sent");

    char raw[Afc::kHeaderSize];
    if (!receiveAll(raw, sizeof raw))
        return fail("AFC answer not received");
    Afc::Header reply;
    if (Afc::decodeHeader(raw, &reply) != Afc::HeaderCheck::Ok)
        return fail("AFC answer header invalid");
    if (reply.packetNum != header.packetNum)
        return fail("AFC answer out of order");
    const uint64_t length = reply.entireLength - Afc::kHeaderSize;
    if (reply.headerDataLength() > Afc::kMaxHeaderData || length > dataLimit + Afc::kMaxHeaderData)
        return fail("AFC answer too long");
    answer->operation = reply.operation;
    if (reply.operation == Afc::OpData && answer->into && length <= answer->intoCapacity) {
        answer->received = size_t(length);
        if (length && !receiveAll(answer->into, size_t(length)))
            return fail("AFC answer cut short");
        return 0;
    }
    answer->data.resize(size_t(length));
    if (length && !receiveAll(&answer->data[0], size_t(length)))
        return fail("AFC answer cut short");

    switch (reply.operation) {
    case Afc::OpStatus:
        if (answer->data.size() < 8)
            return fail("AFC status without value");
        answer->value = Afc::getU64(answer->data.data());
        return statusResult(answer->value);
    case Afc::OpFileOpenRes:
    case Afc::OpFileTellRes:
        if (answer->data.size() < 8)
            return fail("AFC answer without value");
        answer->value = Afc::getU64(answer->data.data());
        return 0;
    case Afc::OpData:
        return 0;
    default:
        return fail("AFC answer of unknown kind");
    }
}

int AfcClient::open(const char *path, uint64_t mode, uint64_t *handle)
{
    *handle = 0;
    Answer answer;
    const int rc = request(Afc::OpFileOpen, Afc::numberPathData(mode, devicePath(path)), Payload(), &answer, 64);
    if (rc != 0)
        return rc;
    if (answer.operation != Afc::OpFileOpenRes || answer.value == 0) {
        DIAG_LOG("AFC open without handle");
        return -int(Afc::UnknownError);
    }
    *handle = answer.value;
    return 0;
}

int AfcClient::read(uint64_t handle, char *buffer, uint32_t *length)
{
    const uint32_t wanted = *length;
    *length = 0;
    std::string data;
    Afc::appendU64(&data, handle);
    Afc::appendU64(&data, wanted);
    Answer answer;
    answer.into = buffer;
    answer.intoCapacity = wanted;
    const int rc = request(Afc::OpFileRead, data, Payload(), &answer, wanted);
    if (rc != 0)
        return rc;
    if (answer.operation != Afc::OpData || answer.data.size() > 0) {
        DIAG_LOG("AFC read answered wrongly");
        return -int(Afc::UnknownError);
    }
    *length = uint32_t(answer.received);
    return 0;
}

int AfcClient::write(uint64_t handle, const char *buffer, uint32_t length)
{
    std::string data;
    Afc::appendU64(&data, handle);
    Answer answer;
    Payload payload;
    payload.data = buffer;
    payload.length = length;
    return request(Afc::OpFileWrite, data, payload, &answer, 64);
}

int AfcClient::writeFrom(uint64_t handle, int fd, uint64_t offset, uint32_t length)
{
    std::string data;
    Afc::appendU64(&data, handle);
    Payload payload;
    payload.fd = fd;
    payload.offset = offset;
    payload.length = length;
    Answer answer;
    return request(Afc::OpFileWrite, data, payload, &answer, 64);
}

int AfcClient::seek(uint64_t handle, int64_t offset, int whence)
{
    std::string data;
    Afc::appendU64(&data, handle);
    Afc::appendU64(&data, uint64_t(whence));
    Afc::appendU64(&data, uint64_t(offset));
    Answer answer;
    return request(Afc::OpFileSeek, data, Payload(), &answer, 64);
}

int AfcClient::tell(uint64_t handle, uint64_t *position)
{
    std::string data;
    Afc::appendU64(&data, handle);
    Answer answer;
    const int rc = request(Afc::OpFileTell, data, Payload(), &answer, 64);
    if (rc == 0 && answer.operation != Afc::OpFileTellRes) {
        DIAG_LOG("AFC tell answered wrongly");
        return -int(Afc::UnknownError);
    }
    *position = answer.value;
    return rc;
}

int AfcClient::close(uint64_t handle)
{
    std::string data;
    Afc::appendU64(&data, handle);
    Answer answer;
    return request(Afc::OpFileClose, data, Payload(), &answer, 64);
}

int AfcClient::readDirectory(const char *path, std::vector<std::string> *names)
{
    Answer answer;
    const int rc = request(Afc::OpReadDir, Afc::pathData(devicePath(path)), Payload(), &answer);
    if (rc != 0)
        return rc;
    if (answer.operation != Afc::OpData || !Afc::decodeNames(answer.data.data(), answer.data.size(), names)) {
        DIAG_LOG("AFC listing malformed");
        return -int(Afc::UnknownError);
    }
    return 0;
}

int AfcClient::fileInfo(const char *path, Afc::KeyValues *info)
{
    Answer answer;
    const int rc = request(Afc::OpGetFileInfo, Afc::pathData(devicePath(path)), Payload(), &answer, 64 * 1024);
    if (rc != 0)
        return rc;
    if (answer.operation != Afc::OpData || !Afc::decodeKeyValues(answer.data.data(), answer.data.size(), info)) {
        DIAG_LOG("AFC file info malformed");
        return -int(Afc::UnknownError);
    }
    return 0;
}

int AfcClient::deviceInfo(Afc::KeyValues *info)
{
    Answer answer;
    const int rc = request(Afc::OpGetDevInfo, std::string(), Payload(), &answer, 64 * 1024);
    if (rc != 0)
        return rc;
    if (answer.operation != Afc::OpData || !Afc::decodeKeyValues(answer.data.data(), answer.data.size(), info)) {
        DIAG_LOG("AFC device info malformed");
        return -int(Afc::UnknownError);
    }
    return 0;
}

int AfcClient::makeDirectory(const char *path)
{
    Answer answer;
    return request(Afc::OpMakeDir, Afc::pathData(devicePath(path)), Payload(), &answer, 64);
}

int AfcClient::removePath(const char *path)
{
    Answer answer;
    return request(Afc::OpRemovePath, Afc::pathData(devicePath(path)), Payload(), &answer, 64);
}

int AfcClient::renamePath(const char *from, const char *to)
{
    Answer answer;
    return request(Afc::OpRenamePath, Afc::twoPathData(devicePath(from), devicePath(to)), Payload(), &answer, 64);
}

int AfcClient::openDirectory(const char *path, uint64_t *directory)
{
    *directory = 0;
    Listing listing;
    const int rc = readDirectory(path, &listing.names);
    if (rc != 0)
        return rc;
    std::lock_guard<std::mutex> lock(m_listingMutex);
    *directory = m_nextListing++;
    m_listings.emplace(*directory, std::move(listing));
    return 0;
}

const char *AfcClient::nextEntry(uint64_t directory)
{
    std::lock_guard<std::mutex> lock(m_listingMutex);
    const auto it = m_listings.find(directory);
    if (it == m_listings.end() || it->second.next >= it->second.names.size())
        return nullptr;
    it->second.current = it->second.names[it->second.next++];
    return it->second.current.c_str();
}

int AfcClient::closeDirectory(uint64_t directory)
{
    std::lock_guard<std::mutex> lock(m_listingMutex);
    return m_listings.erase(directory) ? 0 : -int(Afc::InvalidArg);
}
