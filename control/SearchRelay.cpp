#include "SearchRelay.h"

#include "DoEvents.h"
#include "GetTickCount.h"
#include "PlatformError.h"
#include "ResultsGrid.h"
#include "StatusBar.h"
#include "StatusBarPanel.h"
#include "TavrinXProxy.h"

#include <QLocale>
#include <QScopeGuard>

namespace {
constexpr int FirstTickInterval = 1;
constexpr int PollInterval = 50;
constexpr qint32 StreamBatch = 100;
constexpr qint32 CountEvery = 25;
} // namespace

SearchRelay::SearchRelay(ResultsGrid &grid, Tavrin::StatusBar &sbStatus,
                         const Tavrin::VBool &mbStreamFindings, QObject *parent)
    : QObject(parent), mGrid(grid), msbStatus(sbStatus), mbStreamFindings(mbStreamFindings) {
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &SearchRelay::Timer1Tick);
}

void SearchRelay::setEngine(TavrinEXE::TavrinXProxy *engine) {
    if (mEngine)
        mEngine->disconnect(this);
    Timer1.stop();
    mEngine = engine;
    if (!engine)
        return;
    connect(engine, &TavrinEXE::TavrinXProxy::ScanStarted, this, &SearchRelay::engineScanStarted);
    connect(engine, &TavrinEXE::TavrinXProxy::OnError, this, &SearchRelay::engineOnError);
}

QString SearchRelay::durationText(qint32 milliseconds) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(milliseconds / 1000.0, 'g', 15) + QStringLiteral(" (Sec)");
}

void SearchRelay::raiseError(qint32 code, const QString &message) {
    qint32 ErrorCode = code;
    QString sErrorString = message;
    emit OnError(ErrorCode, sErrorString);
}

TavrinEXE::TavrinXProxy &SearchRelay::engine() const {
    if (!mEngine)
        throw Tavrin::PlatformError(Tavrin::PlatformError::ObjectRequired,
                                    QStringLiteral("Object required"));
    return *mEngine;
}

void SearchRelay::close() {
    mbClosed = true;
    setEngine(nullptr);
}

bool SearchRelay::engineIdle() {
    const QPointer<SearchRelay> self(this);
    const Tavrin::VBool active = engine().SearchActive();
    if (!inService(self))
        return false;
    if (active) {
        if (mbAbortPending)
            raiseError(-102, QStringLiteral("Search abort is still pending, please try again."));
        else
            raiseError(-101, QStringLiteral("Search is in process, abort current search first."));
        return false;
    }
    return true;
}

void SearchRelay::Grep() {
    const QPointer<SearchRelay> self(this);
    const qint32 start = GetTickCount();
    // A refused Grep leaves the running search's start time as it was.
    if (!engineIdle())
        return;
    mlSearchTime = start;
    mlSearchStart = start;
    mbAbortPending = false;
    // A tick not yet run for an earlier search could read its findings into the new grid;
    // polling starts again with this search's ScanStarted.
    Timer1.stop();
    mGrid.Recreate();
    mbRequesting = true;
    const auto requested = qScopeGuard([&self] {
        if (self)
            self->mbRequesting = false;
    });
    engine().Grep();
}

void SearchRelay::Replace(bool undo) {
    const QPointer<SearchRelay> self(this);
    if (!engineIdle())
        return;
    mbAbortPending = false;
    Timer1.stop();
    mbReplacing = true;
    mbRequesting = true;
    const auto requested = qScopeGuard([&self] {
        if (self)
            self->mbRequesting = false;
    });
    if (undo)
        engine().UndoReplace();
    else
        engine().Replace();
}

void SearchRelay::stopTiming() {
    mlSearchTime = TickSpan(mlSearchStart, GetTickCount());
    msbStatus.Panels(5).setText(durationText(mlSearchTime));
}

void SearchRelay::Abort() {
    const QPointer<SearchRelay> self(this);
    engine().Abort();
    if (!inService(self))
        return;
    mbAbortPending = true;
    if (mbReplacing) {
        // The files written so far stay: polling goes on to report them once the engine stops.
        msbStatus.Panels(3).setText(QStringLiteral("Replace Aborted"));
        DoEvents();
        return;
    }
    msbStatus.Panels(3).setText(QStringLiteral("Scan Aborted"));
    stopTiming();
    Timer1.stop();
    DoEvents();
}

void SearchRelay::engineScanStarted() {
    mbRequesting = false;
    Timer1.setInterval(FirstTickInterval);
    Timer1.start();
    if (mbReplacing) {
        // The findings on show stay, with their count and the search's duration.
        msbStatus.Panels(3).setText(QStringLiteral("Replace In Progress"));
        emit ScanStarted();
        return;
    }
    msbStatus.Panels(2).setText(QStringLiteral("0"));
    msbStatus.Panels(3).setText(QStringLiteral("Scan In Progress"));
    msbStatus.Panels(5).setText(QString());
    emit ScanStarted();
}

void SearchRelay::engineOnError(qint32 &ErrorCode, QString &sErrorString) {
    const QPointer<SearchRelay> self(this);
    if (mbRequesting && mbReplacing) {
        // A refused replace: the findings and the panels stay.
        mbRequesting = false;
        mbReplacing = false;
    } else if (mbRequesting) {
        // The engine refused the request: the panels must not go on reporting the last search
        // beside a grid that no longer holds its findings.
        mbRequesting = false;
        msbStatus.Panels(2).setText(QString());
        msbStatus.Panels(3).setText(QStringLiteral("Scan Refused"));
        msbStatus.Panels(5).setText(QString());
    }
    qint32 code = ErrorCode;
    QString message = sErrorString;
    emit OnError(code, message);
    if (inService(self))
        mGrid.appendRow(message);
}

void SearchRelay::Timer1Tick() {
    if (mbDelivering)
        return;
    const QPointer<SearchRelay> self(this);
    try {
        poll();
    } catch (const Tavrin::PlatformError &error) {
        if (!inService(self))
            return;
        // The engine or its server has gone: stop polling and tell the host; the grid keeps
        // what it holds.
        Timer1.stop();
        mbReplacing = false;
        msbStatus.Panels(3).setText(QStringLiteral("Scan Aborted"));
        raiseError(EngineLostCode, QStringLiteral("The search engine is no longer available: ") +
                                       error.description());
    }
}

void SearchRelay::poll() {
    const QPointer<SearchRelay> self(this);
    if (Timer1.interval() == FirstTickInterval)
        Timer1.setInterval(PollInterval);
    const quint64 generation = mGrid.generation();
    const bool active = engine().SearchActive() == Tavrin::vbTrue;
    // While the call waited, a host handler may have aborted this search or started another,
    // or a later tick may have completed it.
    if (!inService(self) || !Timer1.isActive() || generation != mGrid.generation())
        return;
    if (mbReplacing) {
        if (!active)
            replaceEnded();
        return;
    }
    if (!active) {
        Timer1.stop();
        // The host may have let go of the control, or started another search, meanwhile.
        if (!deliverFindings(0) || generation != mGrid.generation())
            return;
        msbStatus.Panels(3).setText(QStringLiteral("Scan Completed Successfully"));
        stopTiming();
        DoEvents();
        if (inService(self))
            emit ScanCompleted();
    } else if (mbStreamFindings == Tavrin::vbTrue) {
        deliverFindings(StreamBatch);
    }
}

void SearchRelay::replaceEnded() {
    const QPointer<SearchRelay> self(this);
    Timer1.stop();
    mbReplacing = false;
    const bool aborted = mbAbortPending;
    qint32 lLinesReplaced = engine().LinesReplaced();
    qint32 lFilesReplaced = inService(self) ? engine().FilesReplaced() : 0;
    if (!inService(self))
        return;
    if (!aborted) {
        msbStatus.Panels(3).setText(QStringLiteral("Replace Completed"));
        emit ScanCompleted();
        if (!inService(self))
            return;
    }
    emit ReplaceCompleted(lLinesReplaced, lFilesReplaced);
}

bool SearchRelay::deliverFindings(qint32 count) {
    const QPointer<SearchRelay> self(this);
    mbDelivering = true;
    const auto delivered = qScopeGuard([&self] {
        if (self)
            self->mbDelivering = false;
    });
    const auto results = engine().ResultsFound();
    if (!inService(self))
        return false;
    const qint32 available = results->Count();
    if (!inService(self))
        return false;
    if (count <= 0)
        count = available;
    const quint64 generation = mGrid.generation();
    const qint32 first = mGrid.deliveredCount() + 1;
    const qint32 last = qMin(mGrid.deliveredCount() + count, available);
    for (qint32 i = first; i <= last; ++i) {
        const QString record = results->Item(i).toString();
        if (!inService(self))
            return false;
        if (generation != mGrid.generation())
            return true;
        mGrid.insertRow(record, i);
        mGrid.countDelivered();
        // The host gets copies: what its handler writes changes neither the counter nor the grid.
        qint32 FileIndex = mGrid.deliveredCount();
        ResultsGrid::Finding row = mGrid.finding(i);
        emit OnFileFound(FileIndex, row.sFileName, row.lLine, row.lColumn, row.sFound);
        if (!inService(self))
            return false;
        if (i % CountEvery == 0) {
            msbStatus.Panels(2).setText(QString::number(mGrid.deliveredCount()));
            DoEvents();
            if (!inService(self))
                return false;
        }
        if (generation != mGrid.generation())
            return true;
    }
    msbStatus.Panels(2).setText(QString::number(mGrid.deliveredCount()));
    mGrid.refresh();
    DoEvents();
    return inService(self);
}
