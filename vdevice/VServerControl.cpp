// The ctl commands of VServer, apart from the usbmuxd side.

#include "VServer.h"

#include "VLockdown.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {

const char kUsage[] =
    "commands: list | attach UDID | detach UDID | lock UDID | unlock UDID | trust UDID | deny UDID"
    " | forget-host UDID | untrust UDID | idle UDID SECONDS | fault UDID SERVICE KIND [ARG]"
    " | clear-faults UDID | end-sessions UDID";

// "trusted" or "untrusted", with the trust dialog's answer while one waits for a Pair.
std::string trustState(const VDevice &device)
{
    const std::string hosts = device.isTrusted() ? "trusted" : "untrusted";
    switch (device.dialog()) {
    case VDevice::Dialog::Accepted: return hosts + "/accepted";
    case VDevice::Dialog::Denied: return hosts + "/denied";
    case VDevice::Dialog::Pending: break;
    }
    return hosts;
}

// Seconds, fractions allowed, up to a day; -1 when not such a number.
int parseMilliseconds(const std::string &text)
{
    char *end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || !end || *end != '\0' || !(seconds >= 0 && seconds <= 86400))
        return -1;
    return int(seconds * 1000 + 0.5);
}

} // namespace

bool VServer::control(const std::vector<std::string> &args, std::string *output)
{
    output->clear();
    if (args.empty()) {
        *output = kUsage;
        return false;
    }
    const std::string &command = args[0];
    if (command == "list" && args.size() == 1) {
        std::ostringstream out;
        for (const auto &device : devices()) {
            const uint32_t number = deviceNumber(device->udid());
            out << (number ? std::to_string(number) : std::string("-")) << ' '
                << device->udid().toStdString() << ' '
                << (number ? "attached" : "detached") << ' '
                << (device->isLocked() ? "locked" : "unlocked") << ' '
                << trustState(*device) << ' '
                << device->stringValue("ProductType") << ' '
                << device->productVersion().toStdString() << ' '
                << device->stringValue("DeviceName") << '\n';
        }
        *output = out.str();
        return true;
    }
    if (args.size() < 2) {
        *output = kUsage;
        return false;
    }
    const QString udid = QString::fromStdString(args[1]);
    QString error;
    if (command == "attach" || command == "detach") {
        const bool ok = command == "attach" ? attach(udid, &error) : detach(udid, &error);
        *output = ok ? command + "ed " + args[1] : error.toStdString();
        return ok;
    }
    const std::shared_ptr<VDevice> target = device(udid);
    if (!target) {
        *output = "unknown device: " + args[1];
        return false;
    }
    if (command == "lock" || command == "unlock") {
        target->setLocked(command == "lock");
    } else if (command == "trust" || command == "deny") {
        target->answerDialog(command == "trust");
    } else if (command == "forget-host") {
        target->forgetHosts();
    } else if (command == "untrust") {
        target->forgetHosts();
        QFile::remove(QString::fromStdString(pairRecordPath(args[1])));
    } else if (command == "idle" && args.size() == 3) {
        const int ms = parseMilliseconds(args[2]);
        if (ms < 0) {
            *output = "idle needs seconds (0 to 86400; 0 turns it off)";
            return false;
        }
        target->setIdleTimeoutMs(ms);
    } else if (command == "clear-faults") {
        target->clearFaults();
    } else if (command == "end-sessions") {
        closeDeviceConnections(target.get(), VLockdown::kServiceName);
    } else if (command == "fault" && (args.size() == 4 || args.size() == 5)) {
        std::string reason;
        if (!target->addFault(args[2], args[3], args.size() == 5 ? args[4] : std::string(), &reason)) {
            *output = reason;
            return false;
        }
    } else {
        *output = kUsage;
        return false;
    }
    *output = command + " " + args[1];
    return true;
}
