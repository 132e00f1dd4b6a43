#pragma once

#include <QString>
#include <QVariant>

class ZAppInfoItem;
class ZDocItemInfo;

// What the models show beside their texts: app icons, the header's check
// box, file-type icons of documents. Making them needs Qt Gui, which the app
// core does not link: a program that shows the models links the GUI side
// (appshuttle_app_gui), whose decorations install themselves at start.
// Without them the models answer no decoration, which is all a
// command-line front end needs. Called on the models' (GUI) thread only.
class ModelDecorations
{
public:
    virtual ~ModelDecorations() = default;

    // The app's home-screen icon as the views draw it; empty without one.
    virtual QVariant appIcon(const ZAppInfoItem &app) const = 0;
    // The header image stored at path (a resource).
    virtual QVariant headerIcon(const QString &path) const = 0;
    // The document's file-type icon at the document list's size.
    virtual QVariant documentIcon(const ZDocItemInfo &doc) const = 0;

    // Not owned; the object must outlive every model.
    static void install(const ModelDecorations *decorations);
    // Null when no GUI side is linked.
    static const ModelDecorations *installed();
};
