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

namespace {

bool isTrue(QObject *control, const char *name) {
    return variantEqualsTrue(NamedProperty::read(control, name));
}

QVariant vbool(bool b) {
    return QVariant::fromValue<VBool>(toVBool(b));
}

} // namespace

ppgGeneral::ppgGeneral(QWidget *parent) : PropertyPage(parent) {
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

    Label1 = new QLabel(QStringLiteral("TavrinX"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont title(QStringLiteral("Times New Roman"));
    title.setPointSizeF(18);
    title.setBold(true);
    title.setItalic(true);
    Label1->setFont(title);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setGeometry(Twips::toPixels(this, 1500, 120, 2175, 495));

    Frame1 = new QGroupBox(QStringLiteral("Options"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(Twips::toPixels(this, 240, 1260, 4335, 2175));

    const auto check = [this](const char *name, const QString &caption, int top, int width,
                              int height) {
        auto *box = new QCheckBox(caption, Frame1);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(Twips::toPixels(this, 420, top, width, height));
        // The substituted font can be wider than the designed one: let a caption use the
        // frame's free width rather than be cut off.
        const int room = Frame1->contentsRect().right() - box->x();
        box->resize(std::max(box->width(), std::min(box->sizeHint().width(), room)), box->height());
        connect(box, &QCheckBox::clicked, this, [this] { setChanged(true); });
        return box;
    };
    cbDontStreamFindings =
        check("cbDontStreamFindings",
              QStringLiteral("&Show all findings at end of search (Faster)"), 1500, 3525, 285);
    cbWholeWordOnly = check("cbWholeWordOnly", QStringLiteral("&Whole word only"), 1140, 1695, 255);
    cbLookInSubfolders =
        check("cbLookInSubfolders", QStringLiteral("&Look in subfolders"), 780, 1815, 255);
    cbCaseSensitive = check("cbCaseSensitive", QStringLiteral("&Case Senstive"), 420, 1575, 255);

    setTabOrder(cbDontStreamFindings, cbWholeWordOnly);
    setTabOrder(cbWholeWordOnly, cbLookInSubfolders);
    setTabOrder(cbLookInSubfolders, cbCaseSensitive);
}

void ppgGeneral::SelectionChanged() {
    QObject *control = firstSelectedControl();
    cbDontStreamFindings->setChecked(!isTrue(control, "StreamFindings"));
    cbCaseSensitive->setChecked(isTrue(control, "CaseSensitive"));
    cbLookInSubfolders->setChecked(isTrue(control, "LookInSubfolders"));
    cbWholeWordOnly->setChecked(isTrue(control, "WholeWordOnly"));
    setChanged(false);
}

void ppgGeneral::ApplyChanges() {
    QObject *control = firstSelectedControl();
    NamedProperty::write(control, "StreamFindings", vbool(!cbDontStreamFindings->isChecked()));
    NamedProperty::write(control, "CaseSensitive", vbool(cbCaseSensitive->isChecked()));
    NamedProperty::write(control, "LookInSubfolders", QVariant(cbLookInSubfolders->isChecked()));
    NamedProperty::write(control, "WholeWordOnly", QVariant(cbWholeWordOnly->isChecked()));
}
