// Replace and undo through sorvik on the session bus: the cases the engine's own test runs,
// with the calls and events crossing processes.

#include "ReplaceCases.h"
#include "TavrinXProxy.h"

#include <QtTest>

class tst_Replace : public QObject {
    Q_OBJECT
private slots:
    void replaceAndUndo_data();
    void replaceAndUndo();
};

void tst_Replace::replaceAndUndo_data() {
    ReplaceCases::addRows(false);
}

void tst_Replace::replaceAndUndo() {
    TavrinEXE::TavrinXProxy engine;
    ReplaceCases::run(engine, {});
}

QTEST_GUILESS_MAIN(tst_Replace)
#include "tst_replace.moc"
