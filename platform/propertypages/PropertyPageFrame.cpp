#include "PropertyPageFrame.h"

#include "PlatformError.h"
#include "PropertyPage.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace Tavrin {

class PropertyPageFramePrivate {
public:
    QList<PropertyPage *> mPages;
    QTabWidget *mTabs = nullptr;
    QPushButton *mOkButton = nullptr;
    QPushButton *mCancelButton = nullptr;
    QPushButton *mApplyButton = nullptr;
};

PropertyPageFrame::PropertyPageFrame(const QList<QObject *> &selectedControls,
                                     const QList<PropertyPage *> &pages, QWidget *parent)
    : QDialog(parent), d(std::make_unique<PropertyPageFramePrivate>()) {
    d->mPages = pages;
    d->mTabs = new QTabWidget(this);
    setWindowTitle(tr("Property Pages"));

    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    d->mOkButton = buttons->button(QDialogButtonBox::Ok);
    d->mCancelButton = buttons->button(QDialogButtonBox::Cancel);
    d->mApplyButton = buttons->button(QDialogButtonBox::Apply);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->mTabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (PropertyPage *page : d->mPages) {
        // Pages keep the size they were designed with.
        page->setFixedSize(page->size());
        d->mTabs->addTab(page, page->windowTitle());
        connect(page, &PropertyPage::changedChanged, this, &PropertyPageFrame::updateApplyButton);
    }

    connect(d->mOkButton, &QPushButton::clicked, this, [this] {
        if (applyChanges())
            accept();
    });
    connect(d->mCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(d->mApplyButton, &QPushButton::clicked, this, &PropertyPageFrame::applyChanges);

    setSelection(selectedControls);
    updateApplyButton();
}

bool PropertyPageFrame::setSelection(const QList<QObject *> &selectedControls) {
    bool ok = true;
    for (PropertyPage *page : d->mPages) {
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
    for (PropertyPage *page : d->mPages) {
        if (!page->Changed())
            continue;
        try {
            page->ApplyChanges();
        } catch (const PlatformError &error) {
            d->mTabs->setCurrentWidget(page);
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
    for (const PropertyPage *page : d->mPages)
        anyChanged = anyChanged || page->Changed();
    d->mApplyButton->setEnabled(anyChanged);
}

PropertyPageFrame::~PropertyPageFrame() = default;

QList<PropertyPage *> PropertyPageFrame::pages() const {
    return d->mPages;
}

QPushButton *PropertyPageFrame::okButton() const {
    return d->mOkButton;
}

QPushButton *PropertyPageFrame::cancelButton() const {
    return d->mCancelButton;
}

QPushButton *PropertyPageFrame::applyButton() const {
    return d->mApplyButton;
}

} // namespace Tavrin
