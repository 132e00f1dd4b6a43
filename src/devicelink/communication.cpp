#include "communication.h"

#include "DiagLog.h"
#include "PlistFrame.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int mobilesync_send(ServiceConnection *connection, plist_t message)
{
    if (!connection || !message) {
        DIAG_LOG("no connection or message");
        return -1;
    }
    char *body = nullptr;
    uint32_t length = 0;
    plist_to_bin(message, &body, &length);
    if (!body) {
        DIAG_LOG("message does not serialise");
        return -1;
    }
    std::unique_ptr<char, decltype(&free_plist_memory)> owned(body, &free_plist_memory);

    char header[PlistFrame::kHeaderSize];
    PlistFrame::encodeHeader(length, header);
    if (zorn_dvpt_send(connection->service, header, int(sizeof header)) != int(sizeof header)) {
        DIAG_ERROR();
        return -1;
    }
    uint32_t offset = 0;
    while (offset < length) {
        const int sent = zorn_dvpt_send(connection->service, body + offset, int(length - offset));
        if (sent <= 0) {
            DIAG_ERROR();
            return -1;
        }
        offset += uint32_t(sent);
    }
    return 0;
}

int mobilesync_receive(ServiceConnection *connection, plist_t *message)
{
    if (!connection || !message)
        return -1;
    *message = nullptr;
    char header[PlistFrame::kHeaderSize];
    if (zorn_dvpt_recv(connection->service, header, int(sizeof header)) != int(sizeof header))
        return -1;
    const uint32_t length = PlistFrame::decodeHeader(header);
    if (!PlistFrame::acceptableLength(length)) {
        DIAG_LOG("message length beyond bound");
        return -1;
    }
    if (length == 0)
        return 0;

    std::unique_ptr<char[]> body(new (std::nothrow) char[length]);
    if (!body) {
        DIAG_LOG("out of memory");
        return -1;
    }
    uint32_t offset = 0;
    while (offset < length) {
        const int got = zorn_dvpt_recv(connection->service, body.get() + offset, int(length - offset));
        if (got <= 0) {
            DIAG_ERROR();
            return -1;
        }
        offset += uint32_t(got);
    }
    *message = PlistFrame::parse(body.get(), length);
    return 0;
}

void free_plist_memory(void *memory)
{
    // Debian's libplist allocates with the C runtime's malloc.
    std::free(memory);
}

plist_t FindAppByBundleId(plist_t apps, const char *bundleId)
{
    if (!apps || !bundleId || plist_get_node_type(apps) != PLIST_ARRAY)
        return nullptr;
    const uint32_t count = plist_array_get_size(apps);
    for (uint32_t i = 0; i < count; ++i) {
        plist_t app = plist_array_get_item(apps, i);
        if (plist_get_node_type(app) != PLIST_DICT)
            continue;
        std::string id;
        if (plistString(plist_dict_get_item(app, "CFBundleIdentifier"), &id) && id == bundleId)
            return app;
    }
    return nullptr;
}

bool plistString(plist_t node, std::string *text)
{
    text->clear();
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return false;
    uint64_t length = 0;
    const char *bytes = plist_get_string_ptr(node, &length);
    if (bytes)
        text->assign(bytes, strnlen(bytes, size_t(length)));
    return true;
}

QString plistText(const char *utf8)
{
    return QString::fromUtf8(utf8 ? utf8 : "");
}

namespace {

std::string stringValue(plist_t node)
{
    std::string value;
    plistString(node, &value);
    return value;
}

// Device text made safe to show and to log: no control characters, at most
// maxBytes, never a UTF-8 sequence cut in half.
std::string boundedText(std::string text, size_t maxBytes)
{
    if (text.size() > maxBytes) {
        size_t cut = maxBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80)
            --cut;
        text.resize(cut);
    }
    for (char &c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            c = ' ';
    }
    return text;
}

} // namespace

std::string DeviceErrorReason(plist_t reply)
{
    plist_t errorNode = plist_get_node_type(reply) == PLIST_DICT ? plist_dict_get_item(reply, "Error") : nullptr;
    if (!errorNode)
        return std::string();
    std::string name = boundedText(stringValue(errorNode), 100);
    if (name.empty())
        name = "unnamed error";
    // Room is left for the name and the code behind the description.
    const std::string description =
        boundedText(stringValue(plist_dict_get_item(reply, "ErrorDescription")), kDeviceReasonMaxBytes - 150);
    std::string code;
    plist_t detail = plist_dict_get_item(reply, "ErrorDetail");
    if (plist_get_node_type(detail) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(detail, &value);
        char text[32];
        std::snprintf(text, sizeof text, "code 0x%08x", unsigned(value & 0xffffffffu));
        code = text;
    }
    std::string reason;
    if (!description.empty())
        reason = description + " (" + name + (code.empty() ? "" : ", " + code) + ")";
    else
        reason = name + (code.empty() ? "" : " (" + code + ")");
    return boundedText(reason, kDeviceReasonMaxBytes);
}

int scaledStatusPercent(int percent, int mode)
{
    switch (mode) {
    case RECV_STATUS_FIRST_HALF:
        return percent / 2;
    case RECV_STATUS_SECOND_HALF:
        return 50 + percent / 2;
    default:
        return percent;
    }
}

int RecvStatus(ServiceConnection *connection, StatusSink *sink, int mode)
{
    int result = -1;
    TaskStatusInfo info;
    for (;;) {
        plist_t raw = nullptr;
        if (mobilesync_receive(connection, &raw) != 0)
            return -1;
        const PlistPtr message = makePlistPtr(raw);
        if (!message || plist_get_node_type(message.get()) != PLIST_DICT)
            continue;

        if (plist_t errorNode = plist_dict_get_item(message.get(), "Error")) {
            const std::string error = stringValue(errorNode);
            if (error == "APIEpicFail" || error == "APIInternalError")
                result = -1008;
            TaskStatusInfo refusal;
            refusal.status = kDeviceErrorStatus;
            refusal.error = DeviceErrorReason(message.get());
            refusal.percent = scaledStatusPercent(info.percent, mode);
            DIAG_LOG(("the device refused: " + refusal.error).c_str());
            if (sink) {
                sink->setStatusInfo(refusal);
                sink->setProgress(refusal.percent);
            }
            return result;
        }
        if (plist_t statusNode = plist_dict_get_item(message.get(), "Status")) {
            const std::string status = stringValue(statusNode);
            if (status == "Complete")
                return 0;
            if (plist_t percentNode = plist_dict_get_item(message.get(), "PercentComplete")) {
                if (plist_get_node_type(percentNode) == PLIST_UINT) {
                    uint64_t percent = 0;
                    plist_get_uint_val(percentNode, &percent);
                    // The device is not trusted to stay within 0..100.
                    info.percent = qBound(0, int(uint32_t(percent) & 0x7fffffff), 100);
                }
            }
            info.status = status;
        }
        if (sink) {
            TaskStatusInfo report = info;
            report.percent = scaledStatusPercent(info.percent, mode);
            sink->setStatusInfo(report);
            sink->setProgress(report.percent);
        }
    }
}
