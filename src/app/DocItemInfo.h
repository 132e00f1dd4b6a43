#pragma once

#include <QDateTime>
#include <QImage>
#include <QMetaType>
#include <QString>

// One shared document of an app, passed by value between threads.
// The icon is left null by the app service: file-type icons are a matter of
// the user interface thread, which derives them from the name.
struct DocItemInfo
{
    QString path;             // "<device id>/Documents/<name>": identifies the document
    QString name;             // file name as shown
    qint64 size = 0;          // bytes
    QDateTime modifiedTime;
    QDateTime createdTime;
    int isFile = 0;           // non-zero for a file: only then is the size shown
    QImage icon;
};

Q_DECLARE_METATYPE(DocItemInfo)
