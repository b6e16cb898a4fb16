#include "ControlRegistry.h"

#include "PlatformError.h"
#include "ResultsTableView.h"

#include <QHash>
#include <functional>

namespace {

constexpr int kCannotCreateObject = 429;

using Factory = std::function<QWidget *(QWidget *parent)>;

const QHash<QString, Factory> &factories() {
    static const QHash<QString, Factory> table{
        {QStringLiteral("msflexgridlib.msflexgrid.1"),
         [](QWidget *parent) -> QWidget * { return new Tavrin::ResultsTableView(parent); }},
    };
    return table;
}

} // namespace

QWidget *ControlRegistry::create(const QString &progId, QWidget *parent) {
    const auto found = factories().constFind(progId.toLower());
    if (found == factories().constEnd())
        throw Tavrin::PlatformError(
            kCannotCreateObject, QStringLiteral("Cannot create object of class '%1'").arg(progId));
    return (*found)(parent);
}
