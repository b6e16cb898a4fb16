#include "frmAbout.h"

#include "AboutAnimation.h"
#include "AboutContent.h"
#include "DialogResources.h"
#include "Twips.h"

#include <QIcon>
#include <QLabel>

frmAbout::frmAbout(QWidget *parent) : QDialog(parent) {
    DialogResources::ensureLoaded();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About TavrinX"));
    setWindowIcon(QIcon(DialogResources::Icon));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    resize(Twips::toPixelsX(this, 4860), Twips::toPixelsY(this, 3690));

    mContent = std::make_unique<AboutContent>(
        this, AboutContent::Variant{0, 435, "lblAboutTavrin", AboutContent::longOffer()});
    std::array<QWidget *, 6> frames;
    std::copy(mContent->Images.begin(), mContent->Images.end(), frames.begin());
    mAnimation = new AboutAnimation(frames, this);
    // Form_Load
    mAnimation->lFrame = 1;
}

frmAbout::~frmAbout() = default;

void ShowAboutBox() {
    const auto window = std::make_unique<frmAbout>();
    window->exec();
}
