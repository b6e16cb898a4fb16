#include "ppgAbout.h"

#include "AboutAnimation.h"
#include "AboutContent.h"
#include "Twips.h"

#include <QLabel>

ppgAbout::ppgAbout(QWidget *parent) : PropertyPage(parent) {
    setObjectName(QStringLiteral("ppgAbout"));
    setWindowTitle(QStringLiteral("About"));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);
    setAutoFillBackground(true);
    resize(Twips::toPixelsX(this, 4800), Twips::toPixelsY(this, 3600));

    mContent = std::make_unique<AboutContent>(
        this, AboutContent::Variant{-90, 555, "Label4", AboutContent::shortOffer()});
    std::array<QWidget *, 6> frames;
    std::copy(mContent->Images.begin(), mContent->Images.end(), frames.begin());
    mAnimation = new AboutAnimation(frames, this);
    // PropertyPage_Initialize
    mAnimation->lFrame = 1;
}

ppgAbout::~ppgAbout() = default;
