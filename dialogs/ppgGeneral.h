#pragma once

#include "tavrinx_export.h"

#include "PropertyPage.h"

class QCheckBox;
class QGroupBox;
class QLabel;

// The General property page: the control's four Boolean options, the streaming one shown
// inverted. It loads from and applies to the first selected control only.
class TAVRINX_EXPORT ppgGeneral : public PropertyPage {
    Q_OBJECT
public:
    explicit ppgGeneral(QWidget *parent = nullptr);

    void SelectionChanged() override;
    void ApplyChanges() override;

    QLabel *Label1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QCheckBox *cbDontStreamFindings = nullptr;
    QCheckBox *cbWholeWordOnly = nullptr;
    QCheckBox *cbLookInSubfolders = nullptr;
    QCheckBox *cbCaseSensitive = nullptr;
};
