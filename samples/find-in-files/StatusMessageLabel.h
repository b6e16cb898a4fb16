#pragma once

#include <QLabel>

// The window's message in its status bar: a permanent widget, so that a menu's status tip does
// not replace it, cut in the middle to the room it has, with the whole text as its tool tip.
class StatusMessageLabel : public QLabel {
    Q_OBJECT
public:
    explicit StatusMessageLabel(QWidget *parent = nullptr);

    void setMessage(const QString &message);
    // The whole message, also when the label shows it shortened.
    QString message() const { return msMessage; }

    // It takes the room the bar has left and never widens the window.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString msMessage;
};
