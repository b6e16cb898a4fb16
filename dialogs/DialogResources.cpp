#include "DialogResources.h"

#include <QtGlobal>

static void registerDialogResources() {
    Q_INIT_RESOURCE(dialogs);
}

void DialogResources::ensureLoaded() {
    static const bool loaded = (registerDialogResources(), true);
    Q_UNUSED(loaded);
}
