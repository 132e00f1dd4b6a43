// The AFC codec in both directions: whatever a peer sends is decoded within
// its bounds, and whatever is encoded decodes to the same thing.

#include "FuzzInput.h"
#include "afc/AfcCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

void fuzzCheckContext() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);

    // Received: a header, then its header data and payload as the lengths say.
    if (size >= Afc::kHeaderSize) {
        Afc::Header header;
        if (Afc::decodeHeader(bytes, &header) == Afc::HeaderCheck::Ok) {
            FUZZ_CHECK(header.thisLength >= Afc::kHeaderSize);
            FUZZ_CHECK(header.entireLength >= header.thisLength);
            if (Afc::acceptableLengths(header)) {
                FUZZ_CHECK(header.headerDataLength() <= Afc::kMaxHeaderData);
                FUZZ_CHECK(header.payloadLength() <= Afc::kMaxPayload);
                const size_t available = size - Afc::kHeaderSize;
                const size_t headerData = size_t(std::min<uint64_t>(header.headerDataLength(), available));
                const char *body = bytes + Afc::kHeaderSize;
                size_t offset = 0;
                std::string text;
                while (Afc::readCString(body, headerData, &offset, &text))
                    FUZZ_CHECK(offset <= headerData && text.find('\0') == std::string::npos);
                const char *payload = body + headerData;
                const size_t payloadLength = available - headerData;
                std::vector<std::string> names;
                Afc::decodeNames(payload, payloadLength, &names);
                Afc::KeyValues pairs;
                Afc::decodeKeyValues(payload, payloadLength, &pairs);
            }
        }
        Afc::statusName(Afc::getU64(bytes + 8));
    }

    // Sent: names and key/value pairs cut from the input at NULs.
    FuzzInput input(data, size);
    std::vector<std::string> names;
    while (!input.empty())
        names.push_back(input.piece('\0'));
    const std::string listing = Afc::encodeNames(names);
    std::vector<std::string> decoded;
    FUZZ_CHECK(Afc::decodeNames(listing.data(), listing.size(), &decoded));
    FUZZ_CHECK(decoded == names);
    Afc::KeyValues pairs;
    for (size_t i = 0; i + 1 < names.size(); i += 2)
        pairs.emplace_back(names[i], names[i + 1]);
    const std::string info = Afc::encodeKeyValues(pairs);
    Afc::KeyValues decodedPairs;
    FUZZ_CHECK(Afc::decodeKeyValues(info.data(), info.size(), &decodedPairs));
    FUZZ_CHECK(decodedPairs == pairs);

    // A whole request round trip: its header tells its parts apart again.
    const std::string headerData = names.empty() ? std::string() : Afc::twoPathData(names.front(), names.back());
    const std::string payload = names.size() > 2 ? names[1] : std::string();
    const uint64_t operation = size ? data[0] : 0;
    const std::string packet = Afc::packet(operation, size, headerData, payload);
    Afc::Header header;
    FUZZ_CHECK(Afc::decodeHeader(packet.data(), &header) == Afc::HeaderCheck::Ok);
    FUZZ_CHECK(header.operation == operation && header.packetNum == size);
    FUZZ_CHECK(header.headerDataLength() == headerData.size());
    FUZZ_CHECK(header.payloadLength() == payload.size());
    FUZZ_CHECK(packet.compare(Afc::kHeaderSize, headerData.size(), headerData) == 0);
    FUZZ_CHECK(packet.compare(Afc::kHeaderSize + headerData.size(), std::string::npos, payload) == 0);
    return 0;
}
