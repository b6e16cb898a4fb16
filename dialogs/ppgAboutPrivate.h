#pragma once

#include "AboutAnimation.h"
#include "AboutContent.h"
#include "ppgAbout.h"

#include <memory>

namespace Tavrin {

class ppgAboutPrivate {
public:
    std::unique_ptr<AboutContent> mContent;
    AboutAnimation *mAnimation = nullptr; // a child of the page

    // The page's content and animation, for code that drives or inspects them (the tests).
    static AboutContent &content(const ppgAbout &page) { return *page.d->mContent; }
    static AboutAnimation &animation(const ppgAbout &page) { return *page.d->mAnimation; }
};

} // namespace Tavrin
