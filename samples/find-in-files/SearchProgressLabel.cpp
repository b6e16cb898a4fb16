#include "SearchProgressLabel.h"

#include <tavrinx/PlatformError.h>
#include <tavrinx/TavrinX.h>

#include <QLocale>

namespace {
constexpr int FolderChars = 48; // the folder is shortened in the middle beyond this width

QString filesText(qint32 files) {
    return files == 1 ? QStringLiteral("1 file")
                      : QStringLiteral("%1 files").arg(QLocale().toString(files));
}
} // namespace

SearchProgressLabel::SearchProgressLabel(TavrinX *control, QWidget *parent)
    : QLabel(parent), mControl(control) {
    setObjectName(QStringLiteral("searchProgress"));
    setTextFormat(Qt::PlainText);
    mPoll.setInterval(PollInterval);
    connect(&mPoll, &QTimer::timeout, this, &SearchProgressLabel::poll);
}

void SearchProgressLabel::start() {
    setText(QStringLiteral("Starting..."));
    setToolTip(QString());
    mPoll.start();
}

void SearchProgressLabel::cancel() {
    mPoll.stop();
    setToolTip(QString());
    setText(QString());
}

void SearchProgressLabel::finish() {
    mPoll.stop();
    qint32 files = 0;
    QString folder;
    setToolTip(QString());
    setText(read(files, folder) ? QStringLiteral("%1 searched").arg(filesText(files)) : QString());
}

void SearchProgressLabel::poll() {
    qint32 files = 0;
    QString folder;
    if (!read(files, folder)) {
        mPoll.stop();
        setText(QString());
        return;
    }
    const QString shown = fontMetrics().elidedText(folder, Qt::ElideMiddle,
                                                   fontMetrics().averageCharWidth() * FolderChars);
    setText(folder.isEmpty() ? filesText(files)
                             : QStringLiteral("%1 · %2").arg(filesText(files), shown));
    setToolTip(folder);
}

bool SearchProgressLabel::read(qint32 &files, QString &folder) const {
    try {
        files = mControl->FilesSearched();
        folder = mControl->CurrentFolder();
        return true;
    } catch (const PlatformError &) {
        return false;
    }
}
