#pragma once

#include "Boolean.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// The search options dialog. Its controls keep their designed places when the window is
// resized. Esc does nothing; closing the window counts as Cancel.
class frmTavrinOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmTavrinOptions(QWidget *parent = nullptr);

    // The dialog's result: True after Cancel (or closing the window), False after Search.
    Tavrin::VBool bCancelled = Tavrin::vbFalse;

    QComboBox *cbSearchFor = nullptr;
    QComboBox *cbFileExt = nullptr;
    QComboBox *cbDirectory = nullptr;
    QPushButton *cbSelectFolder = nullptr;
    QCheckBox *cbCaseSensitive = nullptr;
    QCheckBox *cbWholeWordOnly = nullptr;
    QCheckBox *cbLookInSubfolders = nullptr;
    QCheckBox *cbDontStreamResults = nullptr;
    QPushButton *cbSearch = nullptr;
    QPushButton *cbCancel = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void cbSearch_Click();
    void cbCancel_Click();
    void cbSelectFolder_Click();
};
