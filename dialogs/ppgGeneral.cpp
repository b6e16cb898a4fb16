#include "ppgGeneral.h"

#include "Boolean.h"
#include "DialogResources.h"
#include "NamedProperty.h"
#include "Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace Tavrin {

namespace {

bool isTrue(QObject *control, const char *name) {
    return variantEqualsTrue(NamedProperty::read(control, name));
}

QVariant vbool(bool b) {
    return QVariant::fromValue<VBool>(toVBool(b));
}

} // namespace

class ppgGeneralPrivate {
public:
    QLabel *Label1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QCheckBox *cbDontStreamFindings = nullptr;
    QCheckBox *cbWholeWordOnly = nullptr;
    QCheckBox *cbLookInSubfolders = nullptr;
    QCheckBox *cbCaseSensitive = nullptr;
};

ppgGeneral::ppgGeneral(QWidget *parent)
    : PropertyPage(parent), d(std::make_unique<ppgGeneralPrivate>()) {
    DialogResources::ensureLoaded();
    setObjectName(QStringLiteral("ppgGeneral"));
    setWindowTitle(QStringLiteral("General"));
    QFont sansSerif(QStringLiteral("MS Sans Serif"));
    sansSerif.setPointSizeF(8.25);
    setFont(sansSerif);
    resize(Twips::toPixelsX(this, 4800), Twips::toPixelsY(this, 3600));

    // The last animation frame as a small emblem left of the title.
    auto *emblem = new QLabel(this);
    emblem->setObjectName(QStringLiteral("Image1"));
    emblem->setPixmap(QPixmap(DialogResources::aboutFrame(6)));
    emblem->setScaledContents(true);
    emblem->setGeometry(Twips::toPixels(this, 0, 0, 900, 1155));

    d->Label1 = new QLabel(QStringLiteral("TavrinX"), this);
    d->Label1->setObjectName(QStringLiteral("Label1"));
    QFont title(QStringLiteral("Times New Roman"));
    title.setPointSizeF(18);
    title.setBold(true);
    title.setItalic(true);
    d->Label1->setFont(title);
    d->Label1->setAttribute(Qt::WA_TranslucentBackground);
    d->Label1->setGeometry(Twips::toPixels(this, 1500, 120, 2175, 495));

    d->Frame1 = new QGroupBox(QStringLiteral("Options"), this);
    d->Frame1->setObjectName(QStringLiteral("Frame1"));
    d->Frame1->setGeometry(Twips::toPixels(this, 240, 1260, 4335, 2175));

    const auto check = [this](const char *name, const QString &caption, int top, int width,
                              int height) {
        auto *box = new QCheckBox(caption, d->Frame1);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(Twips::toPixels(this, 420, top, width, height));
        // The substituted font can be wider than the designed one: let a caption use the
        // frame's free width rather than be cut off.
        const int room = d->Frame1->contentsRect().right() - box->x();
        box->resize(std::max(box->width(), std::min(box->sizeHint().width(), room)), box->height());
        connect(box, &QCheckBox::clicked, this, [this] { setChanged(true); });
        return box;
    };
    d->cbDontStreamFindings =
        check("cbDontStreamFindings",
              QStringLiteral("&Show all findings at end of search (Faster)"), 1500, 3525, 285);
    d->cbWholeWordOnly =
        check("cbWholeWordOnly", QStringLiteral("&Whole word only"), 1140, 1695, 255);
    d->cbLookInSubfolders =
        check("cbLookInSubfolders", QStringLiteral("&Look in subfolders"), 780, 1815, 255);
    d->cbCaseSensitive = check("cbCaseSensitive", QStringLiteral("&Case Senstive"), 420, 1575, 255);

    setTabOrder(d->cbDontStreamFindings, d->cbWholeWordOnly);
    setTabOrder(d->cbWholeWordOnly, d->cbLookInSubfolders);
    setTabOrder(d->cbLookInSubfolders, d->cbCaseSensitive);
}

ppgGeneral::~ppgGeneral() = default;

void ppgGeneral::SelectionChanged() {
    QObject *control = firstSelectedControl();
    d->cbDontStreamFindings->setChecked(!isTrue(control, "StreamFindings"));
    d->cbCaseSensitive->setChecked(isTrue(control, "CaseSensitive"));
    d->cbLookInSubfolders->setChecked(isTrue(control, "LookInSubfolders"));
    d->cbWholeWordOnly->setChecked(isTrue(control, "WholeWordOnly"));
    setChanged(false);
}

void ppgGeneral::ApplyChanges() {
    QObject *control = firstSelectedControl();
    NamedProperty::write(control, "StreamFindings", vbool(!d->cbDontStreamFindings->isChecked()));
    NamedProperty::write(control, "CaseSensitive", vbool(d->cbCaseSensitive->isChecked()));
    NamedProperty::write(control, "LookInSubfolders", QVariant(d->cbLookInSubfolders->isChecked()));
    NamedProperty::write(control, "WholeWordOnly", QVariant(d->cbWholeWordOnly->isChecked()));
}

} // namespace Tavrin
