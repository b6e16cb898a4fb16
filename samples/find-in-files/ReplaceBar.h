#pragma once

#include <QToolBar>

class QAction;
class QLineEdit;

// The window's replace row: the text to put in place of each occurrence found, Replace all...
// and Undo. The window runs them; the row only holds them.
class ReplaceBar : public QToolBar {
    Q_OBJECT
public:
    explicit ReplaceBar(QWidget *parent = nullptr);

    QLineEdit *replaceWith() const { return mReplaceWith; }
    QAction *replaceAllAction() const { return mReplaceAll; }
    QAction *undoAction() const { return mUndo; }

private:
    QLineEdit *mReplaceWith;
    QAction *mReplaceAll;
    QAction *mUndo;
};
