#pragma once

#include <QString>

class QWidget;

// The folder browser: a modal folder chooser owned by `owner`, titled "Select Directory",
// offering folders of the file system only, opened at `startFolder` (or the nearest folder above
// it that exists; the home folder when there is none). Returns the chosen folder's path, or ""
// when the user cancelled.
QString PickFolder(QWidget *owner, const QString &startFolder = QString());
