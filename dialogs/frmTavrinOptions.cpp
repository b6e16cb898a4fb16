#include "frmTavrinOptions.h"

#include "DialogResources.h"
#include "Twips.h"
#include "modPickFile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

QFont sansSerif(bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

QComboBox *makeCombo(QWidget *parent, const char *name) {
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    // Enter must reach the default button, not add the typed text to the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    // No completion: what the user typed is what is written, and no completion ever takes an
    // Enter meant for the default button.
    combo->setCompleter(nullptr);
    combo->setFont(sansSerif(false));
    return combo;
}

QCheckBox *makeCheck(QWidget *parent, const char *name, const QString &caption) {
    auto *check = new QCheckBox(caption, parent);
    check->setObjectName(QLatin1String(name));
    check->setFont(sansSerif(false));
    return check;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption) {
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(sansSerif(true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmTavrinOptions::frmTavrinOptions(QWidget *parent) : QDialog(parent) {
    DialogResources::ensureLoaded();
    setObjectName(QStringLiteral("frmTavrinOptions"));
    setWindowTitle(QStringLiteral("Tavrin"));
    setWindowIcon(QIcon(DialogResources::Icon));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(sansSerif(false));

    cbSearchFor = makeCombo(this, "cbSearchFor");
    cbFileExt = makeCombo(this, "cbFileExt");
    cbDirectory = makeCombo(this, "cbDirectory");

    cbSelectFolder = new QPushButton(QStringLiteral("&..."), this);
    cbSelectFolder->setObjectName(QStringLiteral("cbSelectFolder"));
    QFont dots(QStringLiteral("Times New Roman"));
    dots.setPointSizeF(14.25);
    dots.setBold(true);
    cbSelectFolder->setFont(dots);

    cbCaseSensitive = makeCheck(this, "cbCaseSensitive", QStringLiteral("&Case Senstive"));
    cbWholeWordOnly = makeCheck(this, "cbWholeWordOnly", QStringLiteral("&Whole word only"));
    cbLookInSubfolders =
        makeCheck(this, "cbLookInSubfolders", QStringLiteral("&Look in subfolders"));
    cbDontStreamResults = makeCheck(this, "cbDontStreamResults",
                                    QStringLiteral("Show all findings at &end of search (Faster)"));

    cbSearch = new QPushButton(QStringLiteral("&Search"), this);
    cbSearch->setObjectName(QStringLiteral("cbSearch"));
    cbSearch->setDefault(true);
    cbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cbCancel->setObjectName(QStringLiteral("cbCancel"));

    Label3 = makeLabel(this, "Label3", QStringLiteral("Search For:"));
    Label2 = makeLabel(this, "Label2", QStringLiteral("File Types:"));
    Label1 = makeLabel(this, "Label1", QStringLiteral("Directory:"));

    const struct {
        QWidget *widget;
        int left, top, width, height;
    } places[] = {
        {cbSearchFor, 1200, 240, 3195, 315},
        {cbFileExt, 1200, 600, 3195, 315},
        {cbDirectory, 1200, 960, 4935, 315},
        {cbSelectFolder, 6180, 1005, 375, 270},
        {cbCaseSensitive, 240, 1440, 1575, 255},
        {cbWholeWordOnly, 2280, 1440, 1695, 255},
        {cbLookInSubfolders, 4680, 1440, 1815, 255},
        {cbDontStreamResults, 270, 1890, 4245, 285},
        {cbSearch, 4680, 90, 1455, 375},
        {cbCancel, 4680, 510, 1455, 375},
        {Label3, 120, 300, 1095, 225},
        {Label2, 180, 660, 1095, 255},
        {Label1, 240, 960, 975, 255},
    };
    for (const auto &place : places)
        place.widget->setGeometry(
            Twips::toPixels(this, place.left, place.top, place.width, place.height));
    resize(Twips::toPixelsX(this, 6870), Twips::toPixelsY(this, 2325));

    QWidget *tabOrder[] = {
        cbSearchFor,     cbFileExt,          cbDirectory,         cbSelectFolder, cbCaseSensitive,
        cbWholeWordOnly, cbLookInSubfolders, cbDontStreamResults, cbSearch,       cbCancel};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(cbSearch, &QPushButton::clicked, this, &frmTavrinOptions::cbSearch_Click);
    connect(cbCancel, &QPushButton::clicked, this, &frmTavrinOptions::cbCancel_Click);
    connect(cbSelectFolder, &QPushButton::clicked, this, &frmTavrinOptions::cbSelectFolder_Click);
}

void frmTavrinOptions::keyPressEvent(QKeyEvent *event) {
    // No button is bound to Esc.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmTavrinOptions::closeEvent(QCloseEvent *event) {
    // The window's close control cancels: nothing typed is applied.
    cbCancel_Click();
    event->accept();
}

void frmTavrinOptions::showEvent(QShowEvent *event) {
    // A button focused at the last showing may still hold the default; Search is the default
    // until a button takes the focus again.
    cbSearch->setDefault(true);
    QDialog::showEvent(event);
}

void frmTavrinOptions::cbSearch_Click() {
    cbSearchFor->setFocus();
    hide();
    bCancelled = Tavrin::vbFalse;
}

void frmTavrinOptions::cbCancel_Click() {
    hide();
    bCancelled = Tavrin::vbTrue;
}

void frmTavrinOptions::cbSelectFolder_Click() {
    cbDirectory->setEditText(PickFolder(this, cbDirectory->currentText()));
    cbSearch->setFocus();
}
