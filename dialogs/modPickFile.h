#pragma once

#include <QString>

class QWidget;

// The folder browser: a modal folder chooser owned by `owner`, titled "Select Directory",
// offering folders of the file system only. Returns the chosen folder's path, or "" when the
// user cancelled.
QString PickFolder(QWidget *owner);
