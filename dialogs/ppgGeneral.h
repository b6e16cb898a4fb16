#pragma once

#include "tavrinx_export.h"

#include "PropertyPage.h"

#include <memory>

namespace Tavrin {

class ppgGeneralPrivate;

// The General property page: the control's four Boolean options, the streaming one shown
// inverted. It loads from and applies to the first selected control only.
class TAVRINX_EXPORT ppgGeneral : public PropertyPage {
    Q_OBJECT
public:
    explicit ppgGeneral(QWidget *parent = nullptr);
    ~ppgGeneral() override;

    void SelectionChanged() override;
    void ApplyChanges() override;

private:
    // The page's widgets (found by their object names, as cbCaseSensitive), behind a private
    // class so that the layout of this class stays stable across releases.
    const std::unique_ptr<ppgGeneralPrivate> d;
};

} // namespace Tavrin
