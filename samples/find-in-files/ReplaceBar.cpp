#include "ReplaceBar.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

ReplaceBar::ReplaceBar(QWidget *parent)
    : QToolBar(QStringLiteral("Replace"), parent), mReplaceWith(new QLineEdit(this)),
      mReplaceAll(new QAction(QStringLiteral("&Replace all..."), this)),
      mUndo(new QAction(QStringLiteral("&Undo replace"), this)) {
    setObjectName(QStringLiteral("replaceToolBar"));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *label = new QLabel(QStringLiteral("Replace &with:"), this);
    label->setBuddy(mReplaceWith);
    label->setContentsMargins(4, 0, 4, 0);
    mReplaceWith->setObjectName(QStringLiteral("replaceWith"));
    mReplaceWith->setToolTip(QStringLiteral(
        "Put in place of each occurrence on the lines found; with a regular expression, $1 to "
        "$9 and ${name} stand for its groups, $$ for a dollar"));
    mReplaceWith->setClearButtonEnabled(true);
    mReplaceWith->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    mReplaceWith->setMaximumWidth(fontMetrics().averageCharWidth() * 56);
    // The button keeps its dots: it asks before it replaces.
    mReplaceAll->setIconText(QStringLiteral("Replace all..."));
    mReplaceAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    mReplaceAll->setToolTip(
        QStringLiteral("Replace in every file of the findings on show, after asking"));
    mUndo->setToolTip(QStringLiteral("Restore the lines the last replace changed"));
    addWidget(label);
    addWidget(mReplaceWith);
    addAction(mReplaceAll);
    addSeparator();
    addAction(mUndo);
}
