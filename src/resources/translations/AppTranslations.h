#pragma once

#include <QStringList>

// The catalogues built into the program (":/translations/appshuttle_<lang>.qm").
class AppTranslations
{
public:
    // Their language codes ("de"), sorted. English, the source language, has none.
    static QStringList languages();
};
