#include "StatusMessageLabel.h"

StatusMessageLabel::StatusMessageLabel(QWidget *parent) : QLabel(parent) {
    setObjectName(QStringLiteral("statusMessage"));
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusMessageLabel::setMessage(const QString &message) {
    msMessage = message;
    setToolTip(message);
    elide();
}

QSize StatusMessageLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize StatusMessageLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(msMessage), QLabel::sizeHint().height()};
}

void StatusMessageLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    elide();
}

void StatusMessageLabel::elide() {
    setText(fontMetrics().elidedText(msMessage, Qt::ElideMiddle, contentsRect().width()));
}
