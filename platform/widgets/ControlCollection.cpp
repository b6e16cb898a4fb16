#include "ControlCollection.h"

#include "ControlRegistry.h"
#include "PlatformError.h"

#include <QPointer>

namespace Tavrin {

namespace {
constexpr int kNameInUse = 727;
constexpr int kNoSuchControl = 730;
} // namespace

class ControlCollectionPrivate {
public:
    QWidget *mOwner;
    QList<QPointer<QWidget>> mControls;
};

ControlCollection::ControlCollection(QWidget *owner)
    : d(std::make_unique<ControlCollectionPrivate>(ControlCollectionPrivate{owner, {}})) {}

ControlCollection::~ControlCollection() = default;

int ControlCollection::indexOf(const QString &name) const {
    for (int i = 0; i < d->mControls.size(); ++i) {
        const QWidget *control = d->mControls.at(i);
        if (control && control->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QWidget *ControlCollection::Add(const QString &progId, const QString &name) {
    d->mControls.removeAll(nullptr);
    if (indexOf(name) >= 0)
        throw PlatformError(
            kNameInUse, QStringLiteral("There is already a control with the name '%1'").arg(name));
    QWidget *control = ControlRegistry::create(progId, d->mOwner);
    control->setObjectName(name);
    d->mControls.append(control);
    return control;
}

void ControlCollection::Remove(const QString &name) {
    const int index = indexOf(name);
    if (index < 0)
        throw PlatformError(kNoSuchControl, QStringLiteral("Control '%1' not found").arg(name));
    QWidget *control = d->mControls.takeAt(index);
    control->hide();
    control->blockSignals(true);
    control->setObjectName(QString());
    control->deleteLater();
}

QWidget *ControlCollection::Item(const QString &name) const {
    const int index = indexOf(name);
    return index < 0 ? nullptr : d->mControls.at(index).data();
}

int ControlCollection::Count() const {
    int count = 0;
    for (const auto &control : d->mControls)
        count += control ? 1 : 0;
    return count;
}

} // namespace Tavrin
