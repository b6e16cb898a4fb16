#include "PropertyPageFrame.h"

#include "PlatformError.h"
#include "PropertyPage.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

PropertyPageFrame::PropertyPageFrame(const QList<QObject *> &selectedControls,
                                     const QList<PropertyPage *> &pages, QWidget *parent)
    : QDialog(parent), mPages(pages), mTabs(new QTabWidget(this)) {
    setWindowTitle(tr("Property Pages"));

    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    mOkButton = buttons->button(QDialogButtonBox::Ok);
    mCancelButton = buttons->button(QDialogButtonBox::Cancel);
    mApplyButton = buttons->button(QDialogButtonBox::Apply);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mTabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (PropertyPage *page : mPages) {
        // Pages keep the size they were designed with.
        page->setFixedSize(page->size());
        mTabs->addTab(page, page->windowTitle());
        connect(page, &PropertyPage::changedChanged, this, &PropertyPageFrame::updateApplyButton);
    }

    connect(mOkButton, &QPushButton::clicked, this, [this] {
        if (applyChanges())
            accept();
    });
    connect(mCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(mApplyButton, &QPushButton::clicked, this, &PropertyPageFrame::applyChanges);

    setSelection(selectedControls);
    updateApplyButton();
}

bool PropertyPageFrame::setSelection(const QList<QObject *> &selectedControls) {
    bool ok = true;
    for (PropertyPage *page : mPages) {
        try {
            page->setSelectedControls(selectedControls);
        } catch (const PlatformError &error) {
            reportError(error.description());
            ok = false;
        }
    }
    return ok;
}

bool PropertyPageFrame::applyChanges() {
    for (PropertyPage *page : mPages) {
        if (!page->Changed())
            continue;
        try {
            page->ApplyChanges();
        } catch (const PlatformError &error) {
            mTabs->setCurrentWidget(page);
            reportError(error.description());
            return false;
        }
        page->setChanged(false);
    }
    return true;
}

void PropertyPageFrame::reportError(const QString &description) {
    emit errorReported(description);
    QMessageBox::warning(this, windowTitle(), description);
}

void PropertyPageFrame::updateApplyButton() {
    bool anyChanged = false;
    for (const PropertyPage *page : mPages)
        anyChanged = anyChanged || page->Changed();
    mApplyButton->setEnabled(anyChanged);
}
