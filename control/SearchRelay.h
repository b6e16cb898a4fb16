#pragma once

#include "Boolean.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class ResultsGrid;
namespace Tavrin {
class StatusBar;
}
namespace TavrinEXE {
class TavrinXProxy;
}

// The road of one search through the control: Grep and Abort, the engine's ScanStarted and
// OnError, the polling timer Timer1, and the findings moved from the engine into the grid with
// an OnFileFound for each. A replace or its undo takes the same road, its end found by the same
// polling, and leaves the grid as it is. Owned by the user-interface thread, like the control.
class SearchRelay : public QObject {
    Q_OBJECT
public:
    // Code and message of OnError when the engine's server has gone during a search.
    static constexpr qint32 EngineLostCode = -105;

    SearchRelay(ResultsGrid &grid, Tavrin::StatusBar &sbStatus,
                const Tavrin::VBool &mbStreamFindings, QObject *parent = nullptr);

    // Connects to a new engine object's ScanStarted and OnError (never its ScanCompleted).
    void setEngine(TavrinEXE::TavrinXProxy *engine);

    void Grep();
    void Abort();
    // The engine's Replace, or UndoReplace, refused as Grep is while the engine is busy.
    void Replace(bool undo);
    // The control is being terminated: polling stops, the engine's events no longer arrive,
    // and no event is raised from here on. A delivery or tick still on the stack stops at its
    // next step.
    void close();
    // From a Grep until the end or an Abort: the tick reading taken by that Grep; afterwards
    // the elapsed milliseconds.
    qint32 searchTime() const { return mlSearchTime; }

    // The duration text of the status bar: seconds in the user's notation, then " (Sec)".
    static QString durationText(qint32 milliseconds);

signals:
    void OnFileFound(qint32 &FileIndex, QString &sFileName, qint32 &lLine, qint32 &lColumn,
                     QString &sFound);
    void ScanCompleted();
    void ScanStarted();
    void OnError(qint32 &ErrorCode, QString &sErrorString);
    // A replace or an undo has ended: after ScanCompleted, or alone when it was aborted.
    void ReplaceCompleted(qint32 &lLinesReplaced, qint32 &lFilesReplaced);

private:
    void engineScanStarted();
    void engineOnError(qint32 &ErrorCode, QString &sErrorString);
    void Timer1Tick();
    void poll();
    // The end of a replace: ScanCompleted unless it was aborted, then its counts to the host.
    void replaceEnded();
    // Whether the engine is free for a request; raises the refusal when it is not.
    bool engineIdle();
    // Moves up to `count` undelivered findings into the grid (0 or less: all of them). False
    // when the relay was closed or deleted meanwhile: then the caller must not touch it.
    bool deliverFindings(qint32 count);
    void stopTiming();
    void raiseError(qint32 code, const QString &message);
    // The engine; throws PlatformError when there is none (the relay was closed).
    TavrinEXE::TavrinXProxy &engine() const;
    // Every yield (an engine call, DoEvents, an event handed to the host) may end the control:
    // the host may terminate and delete it there. After one, a frame touches the relay only if
    // this holds.
    static bool inService(const QPointer<SearchRelay> &self) { return self && !self->mbClosed; }

    ResultsGrid &mGrid;
    Tavrin::StatusBar &msbStatus;
    const Tavrin::VBool &mbStreamFindings;
    QPointer<TavrinEXE::TavrinXProxy> mEngine;
    QTimer Timer1;
    bool mbAbortPending = false;
    qint32 mlSearchTime = 0;
    // The tick reading of the last Grep: durations are measured from it even when an Abort
    // already turned mlSearchTime into a duration.
    qint32 mlSearchStart = 0;
    // A tick that falls due while a delivery yields does nothing: no finding is delivered twice.
    bool mbDelivering = false;
    // Set while the engine's Grep runs and its scan has not started: an engine error then
    // means the request was refused.
    bool mbRequesting = false;
    // From a Replace or UndoReplace the engine took until its end is reported.
    bool mbReplacing = false;
    bool mbClosed = false;
};
