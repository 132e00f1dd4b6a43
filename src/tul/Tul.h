#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace Tul {

// The program's private temporary folder (<system temp>/appshuttle-<uid>,
// mode 0700), created on demand; no trailing separator. Falls back to the
// system temporary folder, with a diagnostic entry, when the private one
// cannot be made or belongs to someone else.
QString tempPath();

// Called with the folder the user chose; false rejects it.
using FolderCallback = std::function<bool(const QString &folder)>;

// Asks for an existing folder, starting at startFolder (the home folder when
// that does not exist). True when a folder was chosen and accepted by the
// callback (which may be empty); outFolder then holds it.
bool getFolderPath(const FolderCallback &callback, QWidget *parent, const QString &title,
                   const QString &startFolder, QString &outFolder);

// Test seam: while set, getFolderPath asks this instead of showing a dialog.
// It gets the title and the start folder and returns the chosen folder, or an
// empty string for Cancel.
using FolderChooser = std::function<QString(const QString &title, const QString &startFolder)>;
void setFolderChooser(FolderChooser chooser);

} // namespace Tul
