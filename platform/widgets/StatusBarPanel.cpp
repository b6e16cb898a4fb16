#include "StatusBarPanel.h"

#include "Twips.h"

namespace ComctlLib {

StatusBarPanel::StatusBarPanel(QWidget *parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(3);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

int StatusBarPanel::Width() const {
    return Twips::fromPixelsX(this, width());
}

void StatusBarPanel::setWidth(int twips) {
    setFixedWidth(Twips::toPixelsX(this, twips));
}

} // namespace ComctlLib
