#pragma once

#include "tavrinx_export.h"

#include <QAbstractFileIconProvider>
#include <memory>

namespace Tavrin {

class PlainFileIconProviderPrivate;

// Icons and type names for file dialogs that never read a file: the stock provider guesses the
// type of a file without a known extension from its first bytes, and reading a special file
// (/proc/kmsg, a pipe) blocks the dialog's folder reader and then the whole application.
// Folders, links and files are told apart by their metadata, file types by their extension only.
class TAVRINX_EXPORT PlainFileIconProvider : public QAbstractFileIconProvider {
public:
    PlainFileIconProvider();
    ~PlainFileIconProvider() override;

    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

private:
    // Behind a private class, so that a field can be added without changing this class's layout.
    const std::unique_ptr<PlainFileIconProviderPrivate> d;
};

} // namespace Tavrin
