#include "HeadlessSearch.h"

#include "FindInFilesWindow.h"
#include <tavrinx/PlatformError.h>
#include <tavrinx/TavrinX.h>

#include <QPixmap>
#include <QTimer>

HeadlessSearch::HeadlessSearch(FindInFilesWindow &window, Request request, QObject *parent)
    : QObject(parent), mWindow(window), mRequest(std::move(request)), mOut(stdout), mErr(stderr) {
    TavrinX *control = mWindow.control();
    connect(control, &TavrinX::OnError, this, [this](qint32 &ErrorCode, QString &sErrorString) {
        mErr << "error " << ErrorCode << ": " << sErrorString << Qt::endl;
        // The engine refuses a request before its Grep returns.
        if (mbInGrep)
            mbRefused = true;
    });
    connect(control, &TavrinX::ScanCompleted, this, [this] {
        // Leave the control's tick, and let the grid show its last rows (it announces new rows
        // to its view in runs, at most every 50 ms) before the picture is taken.
        QTimer::singleShot(200, this, &HeadlessSearch::completed);
    });
}

void HeadlessSearch::start() {
    TavrinX *control = mWindow.control();
    try {
        control->setSearchPath(mRequest.folder);
        control->setSearchString(mRequest.searchString);
        control->setSearchExt(mRequest.searchExt);
        control->setLookInSubfolders(true);
        mbInGrep = true;
        control->Grep();
        mbInGrep = false;
    } catch (const Tavrin::PlatformError &error) {
        mbInGrep = false;
        fail(QStringLiteral("error %1: %2").arg(error.number()).arg(error.description()));
        return;
    }
    if (mbRefused)
        fail(QStringLiteral("the search was refused"));
}

void HeadlessSearch::completed() {
    TavrinX *control = mWindow.control();
    try {
        const qint32 count = control->SearchCount();
        mOut << count << (count == 1 ? " finding" : " findings") << " for \""
             << mRequest.searchString << "\" in " << mRequest.folder << " ("
             << control->SearchTime() << " ms)" << Qt::endl;
        for (qint32 row = 1; row <= qMin<qint32>(count, mRequest.shownFindings); ++row) {
            QStringList cells;
            for (qint32 column = 0; column < 4; ++column) {
                qint32 r = row;
                qint32 c = column;
                cells.append(control->GetDataMatrix(r, c));
            }
            mOut << cells.join(QLatin1Char(':')) << '\n';
        }
        mOut.flush();
    } catch (const Tavrin::PlatformError &error) {
        fail(QStringLiteral("error %1: %2").arg(error.number()).arg(error.description()));
        return;
    }
    if (!mRequest.screenshot.isEmpty()) {
        if (!mWindow.grab().save(mRequest.screenshot, "PNG")) {
            fail(QStringLiteral("cannot save the screenshot to %1").arg(mRequest.screenshot));
            return;
        }
        mOut << "Screenshot: " << mRequest.screenshot << Qt::endl;
    }
    emit finished(0);
}

void HeadlessSearch::fail(const QString &message) {
    mErr << message << Qt::endl;
    emit finished(1);
}
