#pragma once

#include <QToolBar>

class QCheckBox;
class QLineEdit;
class TavrinX;

// A row of the control's search options that the options dialog does not offer: folders to leave
// out, skipping binary files, and searching with a regular expression. Each change is written to
// the control at once, which keeps it in its settings file; a refused write is reported and the
// row shows the control's value again.
class SearchOptionsBar : public QToolBar {
    Q_OBJECT
public:
    explicit SearchOptionsBar(TavrinX *control, QWidget *parent = nullptr);

    // Shows the control's current values.
    void load();
    // Writes the folder list as it stands, also while it is still being typed.
    void commit();

    QLineEdit *excludeFolders() const { return mExcludeFolders; }
    QCheckBox *skipBinaryFiles() const { return mSkipBinaryFiles; }
    QCheckBox *useRegularExpression() const { return mUseRegularExpression; }

Q_SIGNALS:
    void errorReported(const QString &description);

private:
    // Runs a write to the control; a platform failure is reported and the row reloaded.
    template <class F> void write(F &&call);
    // Sets the row from the control without writing back; control reads may throw.
    void showControlValues();

    TavrinX *mControl;
    QLineEdit *mExcludeFolders;
    QCheckBox *mSkipBinaryFiles;
    QCheckBox *mUseRegularExpression;
};
