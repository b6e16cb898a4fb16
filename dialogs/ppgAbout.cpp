#include "ppgAbout.h"

#include "Twips.h"
#include "ppgAboutPrivate.h"

#include <QLabel>

namespace Tavrin {

ppgAbout::ppgAbout(QWidget *parent) : PropertyPage(parent), d(std::make_unique<ppgAboutPrivate>()) {
    setObjectName(QStringLiteral("ppgAbout"));
    setWindowTitle(QStringLiteral("About"));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);
    setAutoFillBackground(true);
    resize(Twips::toPixelsX(this, 4800), Twips::toPixelsY(this, 3600));

    d->mContent = std::make_unique<AboutContent>(
        this, AboutContent::Variant{-90, 555, "Label4", AboutContent::shortOffer()});
    std::array<QWidget *, 6> frames;
    std::copy(d->mContent->Images.begin(), d->mContent->Images.end(), frames.begin());
    d->mAnimation = new AboutAnimation(frames, this);
    // PropertyPage_Initialize
    d->mAnimation->lFrame = 1;
}

ppgAbout::~ppgAbout() = default;

} // namespace Tavrin
