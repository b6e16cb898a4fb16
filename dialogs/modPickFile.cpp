#include "modPickFile.h"

#include "PlainFileIconProvider.h"

#include <QDir>
#include <QFileDialog>

QString PickFolder(QWidget *owner) {
    PlainFileIconProvider icons; // outlives the dialog that uses it
    QFileDialog browser(owner, QStringLiteral("Select Directory"), QDir::homePath());
    browser.setObjectName(QStringLiteral("PickFolder"));
    browser.setFileMode(QFileDialog::Directory);
    browser.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    browser.setIconProvider(&icons);
    if (browser.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = browser.selectedFiles();
    return chosen.isEmpty() ? QString() : QDir::cleanPath(chosen.first());
}
