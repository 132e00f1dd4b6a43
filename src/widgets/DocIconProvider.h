#pragma once

#include <QImage>
#include <QString>

// File-type icons of the document view: the desktop icon theme's icon for
// the name's MIME type (its own, then its generic one), else our plain
// document image. Icons are made once per MIME type.
class DocIconProvider
{
public:
    // Hands iconFor to the document model (once per run).
    static void install();
    static QImage iconFor(const QString &fileName);
};
