#include "StatusBar.h"

#include "DesignFont.h"
#include "PlatformError.h"
#include "StatusBarPanel.h"
#include "Twips.h"

#include <QEvent>

namespace Tavrin {

namespace {
constexpr int kMargin = 2;
constexpr int kGap = 2;
} // namespace

StatusBar::StatusBar(QWidget *parent) : QWidget(parent) {
    setFont(DesignFont::capped(font()));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setHeight(mHeight);
    if (parent)
        parent->installEventFilter(this);
}

StatusBarPanel &StatusBar::addPanel(const QString &text, int widthTwips) {
    auto *panel = new StatusBarPanel(this);
    panel->setText(text);
    panel->setWidth(widthTwips);
    mPanels.append(panel);
    panel->show();
    placePanels();
    return *panel;
}

StatusBarPanel &StatusBar::Panels(int n) const {
    if (n < 1 || n > PanelCount())
        throw Tavrin::PlatformError::subscriptOutOfRange();
    return *mPanels.at(n - 1);
}

int StatusBar::Height() const {
    return Twips::fromPixelsY(this, height());
}

void StatusBar::setHeight(int twips) {
    mHeight = twips;
    setFixedHeight(Twips::toPixelsY(this, twips));
    alignToParent();
}

bool StatusBar::event(QEvent *event) {
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool handled = QWidget::event(event);
    // A panel's width changed, or the bar's own size.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize)
        placePanels();
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

void StatusBar::placePanels() {
    int x = kMargin;
    for (StatusBarPanel *panel : std::as_const(mPanels)) {
        panel->setGeometry(x, kMargin, panel->width(), height() - 2 * kMargin);
        x += panel->width() + kGap;
    }
}

void StatusBar::alignToParent() {
    if (const QWidget *parent = parentWidget())
        setGeometry(0, parent->height() - height(), parent->width(), height());
}

} // namespace Tavrin
