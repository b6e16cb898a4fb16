#include "SearchRelay.h"

#include "DoEvents.h"
#include "GetTickCount.h"
#include "PlatformError.h"
#include "ResultsGrid.h"
#include "StatusBar.h"
#include "StatusBarPanel.h"
#include "TavrinXProxy.h"

#include <QLocale>
#include <QScopedValueRollback>

namespace {
constexpr int FirstTickInterval = 1;
constexpr int PollInterval = 50;
constexpr qint32 StreamBatch = 100;
constexpr qint32 CountEvery = 25;
} // namespace

SearchRelay::SearchRelay(ResultsGrid &grid, ComctlLib::StatusBar &sbStatus,
                         const VBool &mbStreamFindings, QObject *parent)
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
    return QLocale().toString(milliseconds / 1000.0, 'g', 15) + QStringLiteral(" (Sec)");
}

void SearchRelay::raiseError(qint32 code, const QString &message) {
    qint32 ErrorCode = code;
    QString sErrorString = message;
    emit OnError(ErrorCode, sErrorString);
}

void SearchRelay::Grep() {
    mlSearchTime = GetTickCount();
    mlSearchStart = mlSearchTime;
    if (mEngine->SearchActive()) {
        if (mbAbortPending)
            raiseError(-102, QStringLiteral("Search abort is still pending, please try again."));
        else
            raiseError(-101, QStringLiteral("Search is in process, abort current search first."));
        return;
    }
    mbAbortPending = false;
    // A tick not yet run for an earlier search could read its findings into the new grid;
    // polling starts again with this search's ScanStarted.
    Timer1.stop();
    mGrid.Recreate();
    mEngine->Grep();
}

void SearchRelay::stopTiming() {
    mlSearchTime = TickSpan(mlSearchStart, GetTickCount());
    msbStatus.Panels(5).setText(durationText(mlSearchTime));
}

void SearchRelay::Abort() {
    mEngine->Abort();
    mbAbortPending = true;
    msbStatus.Panels(3).setText(QStringLiteral("Scan Aborted"));
    stopTiming();
    Timer1.stop();
    DoEvents();
}

void SearchRelay::engineScanStarted() {
    Timer1.setInterval(FirstTickInterval);
    Timer1.start();
    msbStatus.Panels(2).setText(QStringLiteral("0"));
    msbStatus.Panels(3).setText(QStringLiteral("Scan In Progress"));
    msbStatus.Panels(5).setText(QString());
    emit ScanStarted();
}

void SearchRelay::engineOnError(qint32 &ErrorCode, QString &sErrorString) {
    qint32 code = ErrorCode;
    QString message = sErrorString;
    emit OnError(code, message);
    mGrid.appendRow(message);
}

void SearchRelay::Timer1Tick() {
    if (mbDelivering)
        return;
    try {
        poll();
    } catch (const PlatformError &error) {
        // The engine or its server has gone: stop polling and tell the host; the grid keeps
        // what it holds.
        Timer1.stop();
        msbStatus.Panels(3).setText(QStringLiteral("Scan Aborted"));
        raiseError(EngineLostCode, QStringLiteral("The search engine is no longer available: ") +
                                       error.description());
    }
}

void SearchRelay::poll() {
    if (Timer1.interval() == FirstTickInterval)
        Timer1.setInterval(PollInterval);
    if (!mEngine)
        throw PlatformError(PlatformError::ObjectRequired, QStringLiteral("Object required"));
    const quint64 generation = mGrid.generation();
    const bool active = mEngine->SearchActive() == vbTrue;
    // While the call waited, a host handler may have aborted this search or started another,
    // or a later tick may have completed it.
    if (!Timer1.isActive() || generation != mGrid.generation())
        return;
    if (!active) {
        Timer1.stop();
        deliverFindings(0);
        if (generation != mGrid.generation())
            return; // the host started another search while the findings were delivered
        msbStatus.Panels(3).setText(QStringLiteral("Scan Completed Successfully"));
        stopTiming();
        DoEvents();
        emit ScanCompleted();
    } else if (mbStreamFindings == vbTrue) {
        deliverFindings(StreamBatch);
    }
}

void SearchRelay::deliverFindings(qint32 count) {
    const QScopedValueRollback<bool> delivering(mbDelivering, true);
    const auto results = mEngine->ResultsFound();
    const qint32 available = results->Count();
    if (count <= 0)
        count = available;
    const quint64 generation = mGrid.generation();
    const qint32 first = mGrid.deliveredCount() + 1;
    const qint32 last = qMin(mGrid.deliveredCount() + count, available);
    for (qint32 i = first; i <= last; ++i) {
        mGrid.insertRow(results->Item(i).toString(), i);
        mGrid.countDelivered();
        // The host gets copies: what its handler writes changes neither the counter nor the grid.
        qint32 FileIndex = mGrid.deliveredCount();
        ResultsGrid::Finding row = mGrid.finding(i);
        emit OnFileFound(FileIndex, row.sFileName, row.lLine, row.lColumn, row.sFound);
        if (i % CountEvery == 0) {
            msbStatus.Panels(2).setText(QString::number(mGrid.deliveredCount()));
            DoEvents();
        }
        if (generation != mGrid.generation())
            return;
    }
    msbStatus.Panels(2).setText(QString::number(mGrid.deliveredCount()));
    mGrid.refresh();
    DoEvents();
}
