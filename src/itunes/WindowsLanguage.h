#pragma once

#include <QString>

// Translation between POSIX locale names, Windows language ids
// (sublanguage << 10 | primary language) and ISO 639 language codes.
class WindowsLanguage
{
public:
    static constexpr quint16 kUsEnglish = 0x0409;

    // The language id of a locale name such as "en_GB.UTF-8" or "nb_NO@euro";
    // US English for "C", "POSIX", an empty or an unknown name.
    static quint16 idForLocale(const QString &posixLocale);

    // The two-letter ISO 639 code of a language id ("en" for 2057, "nb" or
    // "nn" for the Norwegian ids); empty when the id is unknown.
    static QString isoCode(quint16 languageId);
};
