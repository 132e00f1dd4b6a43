// The ctl commands of VServer, apart from the usbmuxd side.

#include "VServer.h"

#include "VLockdown.h"

#include <sstream>

namespace {

const char kUsage[] =
    "commands: list | attach UDID | detach UDID | lock UDID | unlock UDID | trust UDID"
    " | untrust UDID | fault UDID SERVICE KIND [ARG] | clear-faults UDID | end-sessions UDID";

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
                << (device->isTrusted() ? "trusted" : "untrusted") << ' '
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
    } else if (command == "trust" || command == "untrust") {
        target->setTrusted(command == "trust");
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
