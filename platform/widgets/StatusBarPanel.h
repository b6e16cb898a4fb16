#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

namespace Tavrin {

// One sunken panel of a StatusBar, at the width set in twips. A text too long for it ends in
// an ellipsis; Text() still gives all of it. A new text is drawn at once, but a panel that
// changes faster (a count during a delivery) is drawn at most some 30 times a second.
class StatusBarPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusBarPanel(QWidget *parent = nullptr);

    QString Text() const { return mText; }
    void setText(const QString &text);
    int Width() const;
    void setWidth(int twips);
    // With automatic sizing, the panel grows beyond its set width to show its whole text.
    bool AutoSize() const { return mAutoSize; }
    void setAutoSize(bool autoSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void fitText();
    void scheduleRepaint();

    QString mText;
    QTimer mRepaintTimer;
    QElapsedTimer mSincePaint;
    int mWidth = 1440;
    bool mAutoSize = false;
};

} // namespace Tavrin
