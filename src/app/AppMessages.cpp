#include "AppMessages.h"

QString AppMessages::exportNotAllowed(const QString &iosVersion)
{
    return tr("Your device's iOS (%1) no longer allows copying apps to the computer. "
              "Apps can be copied only from devices with iOS 8 or earlier.")
        .arg(iosVersion);
}
