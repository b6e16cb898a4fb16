#include "SearchOptionsBar.h"

#include <tavrinx/PlatformError.h>
#include <tavrinx/TavrinX.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

SearchOptionsBar::SearchOptionsBar(TavrinX *control, QWidget *parent)
    : QToolBar(QStringLiteral("Search Options"), parent), mControl(control),
      mExcludeFolders(new QLineEdit(this)),
      mSkipBinaryFiles(new QCheckBox(QStringLiteral("Skip &binary files"), this)),
      mUseRegularExpression(new QCheckBox(QStringLiteral("Re&gular expression"), this)) {
    setObjectName(QStringLiteral("searchOptionsToolBar"));
    auto *label = new QLabel(QStringLiteral("E&xclude folders:"), this);
    label->setBuddy(mExcludeFolders);
    label->setContentsMargins(4, 0, 4, 0);
    mExcludeFolders->setPlaceholderText(QStringLiteral(".git;node_modules;build*"));
    mExcludeFolders->setToolTip(
        QStringLiteral("Folder names or wildcards, separated by semicolons, not searched"));
    mExcludeFolders->setClearButtonEnabled(true);
    mExcludeFolders->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    mExcludeFolders->setMaximumWidth(fontMetrics().averageCharWidth() * 56);
    mSkipBinaryFiles->setToolTip(QStringLiteral("Leave out files holding a NUL byte"));
    mUseRegularExpression->setToolTip(
        QStringLiteral("Search for a regular expression (PCRE2 syntax)"));
    addWidget(label);
    addWidget(mExcludeFolders);
    addSeparator();
    addWidget(mSkipBinaryFiles);
    addSeparator();
    addWidget(mUseRegularExpression);

    connect(mExcludeFolders, &QLineEdit::editingFinished, this, &SearchOptionsBar::commit);
    connect(mSkipBinaryFiles, &QCheckBox::toggled, this,
            [this](bool on) { write([&] { mControl->setSkipBinaryFiles(Tavrin::toVBool(on)); }); });
    connect(mUseRegularExpression, &QCheckBox::toggled, this, [this](bool on) {
        write([&] { mControl->setUseRegularExpression(Tavrin::toVBool(on)); });
    });
}

void SearchOptionsBar::commit() {
    write([this] {
        if (mExcludeFolders->text() != mControl->ExcludeFolders())
            mControl->setExcludeFolders(mExcludeFolders->text());
    });
}

void SearchOptionsBar::load() {
    write([this] { showControlValues(); });
}

void SearchOptionsBar::showControlValues() {
    const QSignalBlocker skip(mSkipBinaryFiles);
    const QSignalBlocker regex(mUseRegularExpression);
    mExcludeFolders->setText(mControl->ExcludeFolders());
    mSkipBinaryFiles->setChecked(mControl->SkipBinaryFiles() != Tavrin::vbFalse);
    mUseRegularExpression->setChecked(mControl->UseRegularExpression() != Tavrin::vbFalse);
}

template <class F> void SearchOptionsBar::write(F &&call) {
    try {
        call();
    } catch (const Tavrin::PlatformError &error) {
        emit errorReported(
            QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description()));
        // Reading back may fail the same way; the row then keeps what it shows.
        try {
            showControlValues();
        } catch (const Tavrin::PlatformError &) {
        }
    }
}
