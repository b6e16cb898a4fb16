#pragma once

#include "tavrinx_export.h"

#include <QDialog>
#include <QList>
#include <memory>

class QPushButton;
class QTabWidget;

namespace Tavrin {

class PropertyPage;
class PropertyPageFramePrivate;

// The modal frame a host opens to edit the properties of one or more controls: one tab per
// page, OK, Cancel and Apply. A page that fails to load or apply (a PlatformError, e.g. a
// selected object without the property) is reported in a message box and by errorReported;
// OK then keeps the frame open, and the failed page stays changed.
class TAVRINX_EXPORT PropertyPageFrame : public QDialog {
    Q_OBJECT
public:
    // Takes ownership of the pages and loads them from the selection.
    PropertyPageFrame(const QList<QObject *> &selectedControls, const QList<PropertyPage *> &pages,
                      QWidget *parent = nullptr);
    ~PropertyPageFrame() override;

    QList<PropertyPage *> pages() const;
    QPushButton *okButton() const;
    QPushButton *cancelButton() const;
    QPushButton *applyButton() const;

    // Hands every page a new selection; false when a page failed to load.
    bool setSelection(const QList<QObject *> &selectedControls);
    // Applies every changed page in tab order and clears its Changed flag; stops at the first
    // page that fails and returns false.
    bool applyChanges();

Q_SIGNALS:
    void errorReported(const QString &description);

private:
    void reportError(const QString &description);
    void updateApplyButton();

    // Behind a private class, so that a field can be added without changing this class's layout.
    const std::unique_ptr<PropertyPageFramePrivate> d;
};

} // namespace Tavrin
