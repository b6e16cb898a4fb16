#include "SearchProgressLabel.h"

#include "CountText.h"
#include <tavrinx/PlatformError.h>
#include <tavrinx/TavrinX.h>

namespace {
constexpr int FolderChars = 40; // the folder is shortened in the middle beyond this width

QString filesText(qint32 files) {
    return countText(files, QStringLiteral("file"), QStringLiteral("files"));
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
    display(QStringLiteral("Starting..."));
    mPoll.start();
}

void SearchProgressLabel::cancel() {
    mPoll.stop();
    display(QString());
}

void SearchProgressLabel::finish() {
    mPoll.stop();
    qint32 files = 0;
    QString folder;
    display(read(files, folder) ? QStringLiteral("%1 searched").arg(filesText(files)) : QString());
}

void SearchProgressLabel::poll() {
    qint32 files = 0;
    QString folder;
    const bool ok = read(files, folder);
    // The reads wait with the event loop running: the search may have ended meanwhile.
    if (!mPoll.isActive())
        return;
    if (!ok) {
        mPoll.stop();
        display(QString());
        return;
    }
    const QString elided = fontMetrics().elidedText(folder, Qt::ElideMiddle,
                                                    fontMetrics().averageCharWidth() * FolderChars);
    display(folder.isEmpty() ? filesText(files)
                             : QStringLiteral("%1 · %2").arg(filesText(files), elided),
            folder);
}

void SearchProgressLabel::display(const QString &text, const QString &toolTip) {
    setToolTip(toolTip);
    setText(text);
}

bool SearchProgressLabel::read(qint32 &files, QString &folder) const {
    try {
        files = mControl->FilesSearched();
        folder = mControl->CurrentFolder();
        return true;
    } catch (const Tavrin::PlatformError &) {
        return false;
    }
}
