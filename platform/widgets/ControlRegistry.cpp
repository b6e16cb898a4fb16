#include "ControlRegistry.h"

#include "MSFlexGrid.h"
#include "PlatformError.h"

#include <QHash>

namespace {

constexpr int CannotCreateObject = 429;

QHash<QString, ControlRegistry::Factory> &factories() {
    static QHash<QString, ControlRegistry::Factory> table{
        {QStringLiteral("msflexgridlib.msflexgrid.1"),
         [](QWidget *parent) -> QWidget * { return new MSFlexGridLib::MSFlexGrid(parent); }},
    };
    return table;
}

} // namespace

void ControlRegistry::registerClass(const QString &progId, Factory factory) {
    factories().insert(progId.toLower(), std::move(factory));
}

bool ControlRegistry::isRegistered(const QString &progId) {
    return factories().contains(progId.toLower());
}

QWidget *ControlRegistry::create(const QString &progId, QWidget *parent) {
    const auto found = factories().constFind(progId.toLower());
    if (found == factories().constEnd())
        throw PlatformError(CannotCreateObject,
                            QStringLiteral("Cannot create object of class '%1'").arg(progId));
    return (*found)(parent);
}
