#pragma once

#include "tavrinx_export.h"

#include "PropertyPage.h"

#include <memory>

class AboutAnimation;
struct AboutContent;

// The About property page: the about window's content on a light grey page, animating on its
// own timer. It carries no settings.
class TAVRINX_EXPORT ppgAbout : public PropertyPage {
    Q_OBJECT
public:
    explicit ppgAbout(QWidget *parent = nullptr);
    ~ppgAbout() override;

    AboutContent &content() const { return *mContent; }
    AboutAnimation &animation() const { return *mAnimation; }

private:
    std::unique_ptr<AboutContent> mContent;
    AboutAnimation *mAnimation = nullptr;
};
