#pragma once

#include "tavrinx_export.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace Tavrin {

class PropertyPagePrivate;

// One page of the property-page frame. The frame hands it the selected controls and asks it to
// apply; the page tells the frame through Changed that it holds edits. The page's caption (its
// tab text) is its windowTitle.
class TAVRINX_EXPORT PropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit PropertyPage(QWidget *parent = nullptr);
    ~PropertyPage() override;

    QList<QObject *> SelectedControls() const;
    // Stores the selection and runs SelectionChanged(); its errors pass through.
    void setSelectedControls(const QList<QObject *> &controls);

    bool Changed() const;
    void setChanged(bool changed);

    // The frame delivered a new selection: load the page from it.
    virtual void SelectionChanged() {}
    // OK or Apply: write the page into the selection.
    virtual void ApplyChanges() {}

Q_SIGNALS:
    void changedChanged(bool changed);

protected:
    // The first selected control; an empty selection fails as the frame's list would.
    QObject *firstSelectedControl() const;

private:
    // Behind a private class, so that a field can be added without changing this class's layout.
    const std::unique_ptr<PropertyPagePrivate> d;
};

} // namespace Tavrin
