#include "ShowTavrinDialog.h"

#include "Boolean.h"
#include "NamedProperty.h"
#include "frmTavrinOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>

namespace {

// Newest first; the newest becomes the box's text.
void fillRecent(QComboBox *combo, const QStringList &oldestFirst) {
    combo->clear();
    combo->clearEditText();
    for (auto it = oldestFirst.crbegin(); it != oldestFirst.crend(); ++it)
        combo->addItem(*it);
    if (combo->count() > 0)
        combo->setCurrentIndex(0);
}

bool isTrue(QObject *control, const char *name) {
    return Tavrin::variantEqualsTrue(NamedProperty::read(control, name));
}

} // namespace

frmTavrinOptions *tavrinOptionsDialog() {
    // Lives as long as the thread's user interface; the control never destroys it.
    thread_local QPointer<frmTavrinOptions> frm;
    if (!frm)
        frm = new frmTavrinOptions;
    return frm;
}

bool ShowTavrinDialog(QObject *control, const QStringList &searchPathList,
                      const QStringList &fileExtList, const QStringList &searchForList) {
    frmTavrinOptions *frm = tavrinOptionsDialog();

    frm->cbCaseSensitive->setChecked(isTrue(control, "CaseSensitive"));
    frm->cbLookInSubfolders->setChecked(isTrue(control, "LookInSubfolders"));
    frm->cbWholeWordOnly->setChecked(isTrue(control, "WholeWordOnly"));
    frm->cbDontStreamResults->setChecked(!isTrue(control, "StreamFindings"));

    fillRecent(frm->cbDirectory, searchPathList);
    fillRecent(frm->cbFileExt, fileExtList);
    fillRecent(frm->cbSearchFor, searchForList);

    frm->exec();

    if (frm->bCancelled == Tavrin::vbFalse) {
        const auto vbool = [](bool b) {
            return QVariant::fromValue<Tavrin::VBool>(Tavrin::toVBool(b));
        };
        NamedProperty::write(control, "CaseSensitive", vbool(frm->cbCaseSensitive->isChecked()));
        NamedProperty::write(control, "LookInSubfolders",
                             QVariant(frm->cbLookInSubfolders->isChecked()));
        NamedProperty::write(control, "WholeWordOnly", QVariant(frm->cbWholeWordOnly->isChecked()));
        NamedProperty::write(control, "StreamFindings",
                             vbool(!frm->cbDontStreamResults->isChecked()));
        NamedProperty::write(control, "SearchPath", frm->cbDirectory->currentText());
        NamedProperty::write(control, "SearchExt", frm->cbFileExt->currentText());
        NamedProperty::write(control, "SearchString", frm->cbSearchFor->currentText());
    }
    return frm->bCancelled != Tavrin::vbTrue;
}
