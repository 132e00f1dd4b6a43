#include "WindowsLanguage.h"

namespace {

struct Primary
{
    const char *code;
    quint16 id;
};

// Windows' primary language numbers. Norwegian shares 0x14 between Bokmål
// (sublanguage 1) and Nynorsk (sublanguage 2); "no" is the old name of Bokmål.
constexpr Primary kPrimary[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0a}, {"fi", 0x0b}, {"fr", 0x0c},
    {"he", 0x0d}, {"hu", 0x0e}, {"is", 0x0f}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18}, {"ru", 0x19},
    {"hr", 0x1a}, {"sk", 0x1b}, {"sq", 0x1c}, {"sv", 0x1d}, {"th", 0x1e}, {"tr", 0x1f},
    {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25},
    {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2a}, {"hy", 0x2b}, {"eu", 0x2d},
    {"mk", 0x2f}, {"af", 0x36}, {"ka", 0x37}, {"fo", 0x38}, {"hi", 0x39}, {"ga", 0x3c},
    {"ms", 0x3e}, {"kk", 0x3f}, {"sw", 0x41}, {"ta", 0x49}, {"gl", 0x56},
};

struct Specific
{
    const char *locale;
    quint16 id;
};

// Territories whose sublanguage is not the default one (1).
constexpr Specific kSpecific[] = {
    {"en_gb", 0x0809}, {"en_au", 0x0c09}, {"en_ca", 0x1009}, {"en_nz", 0x1409},
    {"en_ie", 0x1809}, {"zh_cn", 0x0804}, {"zh_hk", 0x0c04}, {"zh_sg", 0x1004},
    {"zh_mo", 0x1404}, {"pt_pt", 0x0816}, {"de_ch", 0x0807}, {"de_at", 0x0c07},
    {"fr_be", 0x080c}, {"fr_ca", 0x0c0c}, {"fr_ch", 0x100c}, {"es_mx", 0x080a},
    {"es_es", 0x0c0a}, {"it_ch", 0x0810}, {"nl_be", 0x0813}, {"sv_fi", 0x081d},
    {"nn_no", 0x0814}, {"nn", 0x0814}, {"no", 0x0414}, {"no_no", 0x0414},
};

} // namespace

quint16 WindowsLanguage::idForLocale(const QString &posixLocale)
{
    // "ll_TT.codeset@modifier" -> "ll_tt"
    QString name = posixLocale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    name = name.toLower();
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    for (const Specific &s : kSpecific) {
        if (name == QLatin1String(s.locale))
            return s.id;
    }
    const QString language = name.section(QLatin1Char('_'), 0, 0);
    for (const Primary &p : kPrimary) {
        if (language == QLatin1String(p.code))
            return quint16((1u << 10) | p.id);
    }
    return kUsEnglish;
}

QString WindowsLanguage::isoCode(quint16 languageId)
{
    const quint16 primary = languageId & 0x3ff;
    const quint16 sub = languageId >> 10;
    if (primary == 0x14 && sub == 2)
        return QStringLiteral("nn");
    if (primary == 0x1a && sub != 1)
        return QStringLiteral("sr");
    for (const Primary &p : kPrimary) {
        if (p.id == primary)
            return QLatin1String(p.code);
    }
    return QString();
}
