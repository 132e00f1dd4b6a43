#pragma once

#include <QByteArray>
#include <QString>

// The names under which Apple sells its iPhone, iPad and iPod touch models,
// by hardware model ("iPhone16,1" -> "iPhone 15 Pro"). The family table
// names only the early models; this one reaches the current ones.
class DeviceModelNames
{
public:
    // Empty for a model the table does not know.
    static QString marketingName(const QByteArray &productType);

    // Splits "iPad13,18" into its kind ("iPad") and generation (13). False
    // when the text is not of that form (kinds iPhone, iPad and iPod only).
    static bool parse(const QByteArray &productType, QByteArray *kind, int *generation);
};
