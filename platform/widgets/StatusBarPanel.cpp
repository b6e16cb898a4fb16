#include "StatusBarPanel.h"

#include "Twips.h"

#include <QPainter>

namespace ComctlLib {

StatusBarPanel::StatusBarPanel(QWidget *parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setWidth(1440);
}

int StatusBarPanel::Width() const {
    return Twips::fromPixelsX(this, width());
}

void StatusBarPanel::setWidth(int twips) {
    mWidth = twips;
    fitText();
}

void StatusBarPanel::setText(const QString &text) {
    QLabel::setText(text);
    fitText();
}

void StatusBarPanel::setAutoSize(bool autoSize) {
    mAutoSize = autoSize;
    fitText();
}

void StatusBarPanel::fitText() {
    int pixels = Twips::toPixelsX(this, mWidth);
    if (mAutoSize) {
        const int frame = width() - contentsRect().width();
        pixels = qMax(pixels, fontMetrics().horizontalAdvance(text()) + indent() + frame + 4);
    }
    setFixedWidth(pixels);
}

void StatusBarPanel::paintEvent(QPaintEvent *event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(indent(), 0, 0, 0);
    painter.drawText(area, alignment(),
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

} // namespace ComctlLib
