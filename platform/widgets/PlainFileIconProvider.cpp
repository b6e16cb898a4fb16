#include "PlainFileIconProvider.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace Tavrin {

// Empty for now: it holds the fields a later release adds.
class PlainFileIconProviderPrivate {};

PlainFileIconProvider::PlainFileIconProvider()
    : d(std::make_unique<PlainFileIconProviderPrivate>()) {}

PlainFileIconProvider::~PlainFileIconProvider() = default;

QIcon PlainFileIconProvider::icon(IconType type) const {
    QStyle *style = QApplication::style();
    switch (type) {
    case Computer:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    case Drive:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case Folder:
        return style->standardIcon(QStyle::SP_DirIcon);
    default:
        return style->standardIcon(QStyle::SP_FileIcon);
    }
}

QIcon PlainFileIconProvider::icon(const QFileInfo &info) const {
    if (info.isRoot())
        return icon(Drive);
    return icon(info.isDir() ? Folder : File);
}

QString PlainFileIconProvider::type(const QFileInfo &info) const {
    if (info.isRoot())
        return QStringLiteral("Drive");
    if (info.isDir())
        return QStringLiteral("Folder");
    if (!info.isFile())
        return QStringLiteral("Special file");
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return mime.isDefault() ? QStringLiteral("File") : mime.comment();
}

} // namespace Tavrin
