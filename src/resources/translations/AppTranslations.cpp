#include "AppTranslations.h"

#include <QDir>

QStringList AppTranslations::languages()
{
    QStringList out;
    const QStringList files = QDir(QStringLiteral(":/translations"))
        .entryList({QStringLiteral("appshuttle_*.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        out << file.mid(int(qstrlen("appshuttle_"))).chopped(int(qstrlen(".qm")));
    return out;
}
