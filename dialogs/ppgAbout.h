#pragma once

#include "tavrinx_export.h"

#include "PropertyPage.h"

#include <memory>

namespace Tavrin {

class ppgAboutPrivate;

// The About property page: the about window's content on a light grey page, animating on its
// own timer. It carries no settings.
class TAVRINX_EXPORT ppgAbout : public PropertyPage {
    Q_OBJECT
public:
    explicit ppgAbout(QWidget *parent = nullptr);
    ~ppgAbout() override;

private:
    friend class ppgAboutPrivate;
    // The content and its animation, behind a private class so that the layout of this class
    // stays stable across releases.
    const std::unique_ptr<ppgAboutPrivate> d;
};

} // namespace Tavrin
