#include "StatusBar.h"

#include "PlatformError.h"
#include "StatusBarPanel.h"
#include "Twips.h"

#include <QEvent>
#include <QHBoxLayout>

namespace ComctlLib {

StatusBar::StatusBar(QWidget *parent) : QWidget(parent) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addStretch(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setHeight(mlHeight);
    if (parent)
        parent->installEventFilter(this);
}

StatusBarPanel &StatusBar::addPanel(const QString &text, int widthTwips) {
    auto *panel = new StatusBarPanel(this);
    panel->setText(text);
    panel->setWidth(widthTwips);
    auto *row = static_cast<QHBoxLayout *>(layout());
    // Before the trailing stretch.
    row->insertWidget(row->count() - 1, panel);
    mPanels.append(panel);
    return *panel;
}

StatusBarPanel &StatusBar::Panels(int n) const {
    if (n < 1 || n > PanelCount())
        throw PlatformError::subscriptOutOfRange();
    return *mPanels.at(n - 1);
}

int StatusBar::Height() const {
    return Twips::fromPixelsY(this, height());
}

void StatusBar::setHeight(int twips) {
    mlHeight = twips;
    setFixedHeight(Twips::toPixelsY(this, twips));
    alignToParent();
}

bool StatusBar::event(QEvent *event) {
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        alignToParent();
    }
    return handled;
}

bool StatusBar::eventFilter(QObject *watched, QEvent *event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        alignToParent();
    return QWidget::eventFilter(watched, event);
}

void StatusBar::alignToParent() {
    if (const QWidget *parent = parentWidget())
        setGeometry(0, parent->height() - height(), parent->width(), height());
}

} // namespace ComctlLib
