#pragma once

#include "ControlCollection.h"
#include "UserControl.h"

namespace Tavrin {

class UserControlPrivate {
public:
    explicit UserControlPrivate(UserControl *control) : mControls(control) {}

    ControlCollection mControls;
    // Set by the host when it raises Terminate; no Resize after that.
    bool mTerminated = false;
};

} // namespace Tavrin
