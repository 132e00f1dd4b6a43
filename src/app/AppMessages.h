#pragma once

#include <QCoreApplication>
#include <QString>

// Texts about the app service that the window and the command line both
// show. Translated in the context "AppMessages".
class AppMessages
{
    Q_DECLARE_TR_FUNCTIONS(AppMessages)
public:
    // Exporting apps refused because the device's iOS (iosVersion, e.g.
    // "17.2") no longer archives apps (iOS 9 and later): result -1010.
    static QString exportNotAllowed(const QString &iosVersion);
};
