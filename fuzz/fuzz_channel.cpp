// Property-list framing and the message channel's receive side: the input
// is what a device sends on a service connection (length headers and
// bodies), read through a socket pair as from a real device.

#include "FuzzInput.h"
#include "PlistFrame.h"
#include "communication.h"

#include <QStringDecoder>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// A device's refusal as the user reads it: bounded and without controls.
void checkReason(plist_t reply)
{
    const std::string reason = DeviceErrorReason(reply);
    FUZZ_CHECK(reason.size() <= kDeviceReasonMaxBytes);
    for (unsigned char c : reason)
        FUZZ_CHECK(c >= 0x20 && c != 0x7f);
}

// Feeds bytes to a fresh connection as the device's side of the stream.
ServiceConnection *deviceSending(const std::string &bytes)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return nullptr;
    // Far below the socket's buffer (the input is bounded), so one write.
    const ssize_t written = write(fds[0], bytes.data(), bytes.size());
    close(fds[0]);
    if (written != ssize_t(bytes.size())) {
        close(fds[1]);
        return nullptr;
    }
    return zorn_dvpt_ServiceFromSocket(fds[1], 1000);
}

// What a task sees of a status stream: percentages within 0..100.
class CheckingSink : public StatusSink
{
public:
    void setStatusInfo(const TaskStatusInfo &info) override
    {
        FUZZ_CHECK(info.percent >= 0 && info.percent <= 100);
        FUZZ_CHECK(info.error.size() <= kDeviceReasonMaxBytes);
    }
    void setProgress(int percent) override { FUZZ_CHECK(percent >= 0 && percent <= 100); }
};

} // namespace

void fuzzCheckContext() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const std::string bytes(reinterpret_cast<const char *>(data), size);

    // One body as the framing parses it; what parses serialises and parses
    // back, and from then on stays the same. (libplist writes strings that
    // are not valid UTF-8 in a form it may not read back, and cuts keys and
    // strings at a zero byte on the way, so the first trip may change them:
    // those only have to pass without harm.)
    std::string body = bytes;
    const PlistPtr node = makePlistPtr(PlistFrame::parse(body.data(), body.size()));
    if (node) {
        checkReason(node.get());
        std::string binary;
        std::string xml;
        if (PlistFrame::toBinary(node.get(), &binary) && PlistFrame::toXml(node.get(), &xml)) {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8(QByteArray::fromStdString(xml));
            std::string copy = binary;
            const PlistPtr again = makePlistPtr(PlistFrame::parse(copy.data(), copy.size()));
            std::string second;
            if (!utf8.hasError()) {
                FUZZ_CHECK(again);
                FUZZ_CHECK(PlistFrame::toBinary(again.get(), &second));
                std::string copy2 = second;
                const PlistPtr third = makePlistPtr(PlistFrame::parse(copy2.data(), copy2.size()));
                std::string stable;
                FUZZ_CHECK(third && PlistFrame::toBinary(third.get(), &stable) && stable == second);
            }
        }
    }

    // The stream as messages, until it ends or breaks off.
    if (ServiceConnection *connection = deviceSending(bytes)) {
        for (int i = 0; i < 64; ++i) {
            plist_t message = nullptr;
            if (mobilesync_receive(connection, &message) != 0) {
                FUZZ_CHECK(!message);
                break;
            }
            const PlistPtr owned = makePlistPtr(message);
            if (owned)
                checkReason(owned.get());
        }
        zorn_dvpt_CloseService(connection);
    }

    // The same stream as an installation's status replies.
    if (ServiceConnection *connection = deviceSending(bytes)) {
        CheckingSink sink;
        const int result = RecvStatus(connection, &sink, int(size % 3));
        FUZZ_CHECK(result == 0 || result == -1 || result == -1008);
        zorn_dvpt_CloseService(connection);
    }
    return 0;
}
