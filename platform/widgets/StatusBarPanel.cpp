#include "StatusBarPanel.h"

#include "Twips.h"

#include <QPainter>

namespace Tavrin {

StatusBarPanel::StatusBarPanel(QWidget *parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setWidth(1440);
    mRepaintTimer.setSingleShot(true);
    connect(&mRepaintTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

int StatusBarPanel::Width() const {
    return Twips::fromPixelsX(this, width());
}

void StatusBarPanel::setWidth(int twips) {
    mWidth = twips;
    fitText();
}

void StatusBarPanel::setText(const QString &text) {
    if (text == mText)
        return;
    mText = text;
    setAccessibleName(text);
    fitText();
    scheduleRepaint();
}

void StatusBarPanel::scheduleRepaint() {
    constexpr qint64 kRepaintIntervalMs = 33;
    if (mRepaintTimer.isActive())
        return;
    const qint64 since = mSincePaint.isValid() ? mSincePaint.elapsed() : kRepaintIntervalMs;
    if (since >= kRepaintIntervalMs)
        update();
    else
        mRepaintTimer.start(int(kRepaintIntervalMs - since));
}

void StatusBarPanel::setAutoSize(bool autoSize) {
    mAutoSize = autoSize;
    fitText();
}

void StatusBarPanel::fitText() {
    int pixels = Twips::toPixelsX(this, mWidth);
    if (mAutoSize) {
        const int frame = width() - contentsRect().width();
        pixels = qMax(pixels, fontMetrics().horizontalAdvance(mText) + indent() + frame + 4);
    }
    setFixedWidth(pixels);
}

void StatusBarPanel::paintEvent(QPaintEvent *event) {
    mSincePaint.restart();
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(indent(), 0, 0, 0);
    painter.drawText(area, alignment(),
                     fontMetrics().elidedText(mText, Qt::ElideRight, area.width()));
}

} // namespace Tavrin
