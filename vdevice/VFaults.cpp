#include "VFaults.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool parseNumber(const std::string &text, int64_t *value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < 0)
        return false;
    *value = v;
    return true;
}

} // namespace

bool VFaults::apply(const std::string &kind, const std::string &arg, std::string *error)
{
    int64_t number = 0;
    if (kind == "drop") {
        if (!parseNumber(arg, &number)) {
            *error = "drop needs a byte count";
            return false;
        }
        dropAfterBytes = number;
    } else if (kind == "error") {
        errorReply = arg.empty() ? std::string("APIInternalError") : arg;
    } else if (kind == "freespace") {
        if (!parseNumber(arg, &number)) {
            *error = "freespace needs a byte count";
            return false;
        }
        freeSpace = number;
    } else if (kind == "delay") {
        if (!parseNumber(arg, &number) || number > 600000) {
            *error = "delay needs milliseconds (at most 600000)";
            return false;
        }
        delayMs = int(number);
    } else if (kind == "garbage") {
        garbageReply = true;
    } else if (kind == "hugelength") {
        hugeLength = true;
    } else if (kind == "failop") {
        if (!parseNumber(arg, &number) || number > 0xffff) {
            *error = "failop needs an AFC operation number";
            return false;
        }
        failAfcOp = int(number);
    } else if (kind == "ssl") {
        tls = true;
    } else {
        *error = "unknown fault kind: " + kind
            + " (drop, error, freespace, delay, garbage, hugelength, failop, ssl)";
        return false;
    }
    return true;
}

void VFaults::merge(const VFaults &other)
{
    if (other.dropAfterBytes >= 0)
        dropAfterBytes = other.dropAfterBytes;
    if (!other.errorReply.empty())
        errorReply = other.errorReply;
    if (other.freeSpace >= 0)
        freeSpace = other.freeSpace;
    if (other.delayMs > 0)
        delayMs = other.delayMs;
    garbageReply = garbageReply || other.garbageReply;
    hugeLength = hugeLength || other.hugeLength;
    tls = tls || other.tls;
    if (other.failAfcOp >= 0)
        failAfcOp = other.failAfcOp;
}
