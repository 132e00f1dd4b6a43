#pragma once

#include "DocItemInfo.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>

// One installed app, passed by value between threads. Dates are seconds
// since 1970 (0: none). The key of an app everywhere is appId.
struct AppInfoItem
{
    QString name;
    QString appId;
    QString version;
    QString path;
    QString genre;
    QString purchaseAccount;
    quint64 appSize = 0;
    quint64 documentSize = 0;
    qint64 releaseDate = 0;
    qint64 purchaseDate = 0;
    QByteArray iconPng; // the device's icon as PNG, decoded only when a view draws it
    bool fileSharingEnabled = false;
    bool documentsUnknown = false;   // the documents could not be listed
    QList<DocItemInfo> documents;
};

using AppInfoItemMap = QMap<QString, AppInfoItem>;

// Why the app service reports a changed app or document.
enum DATACHANGED_REASON {
    SIZE_CHANGED = 0,          // app sizes changed
    DOCSIZE_CHANGED = 1,       // the app's documentSize changed
    DOC_CHANGED_RESERVED = 2,  // never sent; receivers treat it as an error
    DOC_ALL_CHANGED = 3,
    DOC_ICON_CHANGED = 4,      // a new document is complete enough to show
    DOC_NAME_CHANGED = 5,
    DOC_CREATED_CHANGED = 6,
    DOC_MODIFIED_CHANGED = 7,
    DOC_SIZE_CHANGED = 8,      // transfer progress of a document being added
    DOC_REMOVED = 9,
    ICON_CHANGED = 10,         // the app's icon arrived after the list
    INFO_CHANGED = 11          // home-screen name or store metadata arrived after the list
};

Q_DECLARE_METATYPE(AppInfoItem)
Q_DECLARE_METATYPE(AppInfoItem *)
Q_DECLARE_METATYPE(AppInfoItemMap)
Q_DECLARE_METATYPE(DATACHANGED_REASON)

// Registers the record types for queued connections (idempotent).
void registerAppRecordMetaTypes();
