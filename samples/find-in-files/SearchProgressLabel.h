#pragma once

#include <QLabel>
#include <QTimer>

class TavrinX;

// The window's own progress line for a long search: how many files the control's engine has
// taken so far and the folder it is in, read on a timer while the search runs; afterwards the
// number of files the search went through.
class SearchProgressLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int PollInterval = 250; // ms

    explicit SearchProgressLabel(TavrinX *control, QWidget *parent = nullptr);

    void start();
    // Stops polling and shows how many files the search went through.
    void finish();
    // Stops polling and shows nothing: the search was refused or its engine has gone.
    void cancel();
    bool isPolling() const { return mPoll.isActive(); }

private:
    void display(const QString &text, const QString &toolTip = QString());
    void poll();
    // Reads the engine's progress; false when it cannot be read (the engine has gone).
    bool read(qint32 &files, QString &folder) const;

    TavrinX *mControl;
    QTimer mPoll;
};
