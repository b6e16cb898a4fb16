#include "modPickFile.h"

#include "PlainFileIconProvider.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
QString existingFolderAt(const QString &path) {
    if (path.isEmpty() || QDir::isRelativePath(path))
        return QDir::homePath();
    QDir folder(QDir::cleanPath(path));
    while (!folder.exists() && !folder.isRoot())
        folder.setPath(QFileInfo(folder.absolutePath()).path());
    return folder.absolutePath();
}
} // namespace

QString PickFolder(QWidget *owner, const QString &startFolder) {
    Tavrin::PlainFileIconProvider icons; // outlives the dialog that uses it
    QFileDialog browser(owner, QStringLiteral("Select Directory"), existingFolderAt(startFolder));
    browser.setObjectName(QStringLiteral("PickFolder"));
    browser.setFileMode(QFileDialog::Directory);
    browser.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    browser.setIconProvider(&icons);
    if (browser.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = browser.selectedFiles();
    return chosen.isEmpty() ? QString() : QDir::cleanPath(chosen.first());
}
