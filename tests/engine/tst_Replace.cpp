#include "DoEvents.h"
#include "ReplaceCases.h"
#include "TavrinXEngine.h"

#include <QtTest>

using TavrinEXE::TavrinX;

// Replace and undo in-process, the engine's own thread serving the test's calls.
class tst_Replace : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setDoEventsHook({}); }
    void replaceAndUndo_data();
    void replaceAndUndo();
};

void tst_Replace::replaceAndUndo_data() {
    ReplaceCases::addRows(true);
}

void tst_Replace::replaceAndUndo() {
    const auto engine = TavrinX::create();
    ReplaceCases::run(*engine, [&](const QString &op, const QString &root) {
        if (op != "replace, s/b.txt written meanwhile")
            return false;
        int yields = 0;
        setDoEventsHook([&, yields]() mutable {
            // The yield after the first line of the second file, once it has been read.
            if (engine->FilesReplaced() == 1 && ++yields == 2)
                writeTree(root, {{"s/b.txt", "foo\nmore\n"}});
        });
        engine->Replace();
        return true;
    });
}

QTEST_GUILESS_MAIN(tst_Replace)
#include "tst_Replace.moc"
