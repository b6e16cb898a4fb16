#pragma once

#include "tavrinx_export.h"

#include "ControlCollection.h"

#include <QWidget>
#include <memory>

namespace Tavrin {

class UserControlHost;
class UserControlPrivate;

// Base of a control that a host form holds. The host raises the container events below in
// their order of life: Initialize at creation; then InitProperties for a brand-new instance or
// ReadProperties for a saved instance being loaded; WriteProperties when the host saves it;
// Resize whenever its size changes; Terminate once, when the host lets it go.
class TAVRINX_EXPORT UserControl : public QWidget {
    Q_OBJECT
public:
    explicit UserControl(QWidget *parent = nullptr);
    ~UserControl() override;

    // The control's name on the host form; empty until the host has named it.
    QString Name() const { return objectName(); }
    ControlCollection &Controls();
    // Inner width and height in twips.
    int ScaleWidth() const;
    int ScaleHeight() const;

protected:
    virtual void Initialize() {}
    virtual void InitProperties() {}
    virtual void ReadProperties() {}
    virtual void WriteProperties() {}
    virtual void Resize() {}
    virtual void Terminate() {}

    void resizeEvent(QResizeEvent *event) override;

private:
    friend class UserControlHost;

    // Behind a private class, so that a field can be added without changing this class's layout.
    const std::unique_ptr<UserControlPrivate> d;
};

} // namespace Tavrin
