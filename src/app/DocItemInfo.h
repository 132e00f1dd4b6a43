#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One shared document of an app, passed by value between threads. It has no
// icon: file-type icons are a matter of the user interface thread, which
// derives them from the name (ModelDecorations).
struct DocItemInfo
{
    QString path;             // "<device id>/Documents/<name>": identifies the document
    QString name;             // file name as shown
    qint64 size = 0;          // bytes
    QDateTime modifiedTime;
    QDateTime createdTime;
    int isFile = 0;           // non-zero for a file: only then is the size shown
};

Q_DECLARE_METATYPE(DocItemInfo)
