#include "TavrinXEngine.h"

#include "Dir.h"
#include "FolderFilter.h"
#include "GetTickCount.h"
#include "LineReplacer.h"
#include "RegexMatcher.h"
#include "Replacement.h"
#include "Scan.h"
#include "ScanGate.h"
#include "TavrinEXERuntime.h"
#include "frmTimer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

namespace TavrinEXE {

namespace {
constexpr int kInvalidPropertyValue = 380;
} // namespace

std::shared_ptr<TavrinX> TavrinX::create() {
    return std::shared_ptr<TavrinX>(new TavrinX());
}

TavrinX::TavrinX() {
    mfrmTimer = std::make_unique<frmTimer>();
    mwtmrGrep = mfrmTimer->tmrGrep();
    mTickConnection = connect(mwtmrGrep, &QTimer::timeout, this, &TavrinX::tmrGrep_Timer);
    mclnFileNames_ = std::make_shared<Collection>();
    mclnLines_ = std::make_shared<Collection>();
    mclnColumns_ = std::make_shared<Collection>();
    mclnItemsFound_ = std::make_shared<Collection>();
    mclnResults_ = std::make_shared<Collection>();
    msSearchPath = QString();
    msSearchExt = QStringLiteral("*.*");
    msSearchString = QStringLiteral("DefaultSearchString");
    mlSearchCount = 0;
    mbCaseSensitive = vbFalse;
    mbWholeWordOnly = vbFalse;
    mbLookInSubfolders = vbTrue;
    mlSearchTime = 0;
}

TavrinX::~TavrinX() {
    mclnFileNames_.reset();
    mclnLines_.reset();
    mclnColumns_.reset();
    mclnItemsFound_.reset();
    mclnResults_.reset();
    disconnect(mTickConnection);
    mwtmrGrep = nullptr;
    mfrmTimer.reset();
}

namespace {
TavrinX::CollectionRef required(TavrinX::CollectionRef ref) {
    if (!ref)
        throw PlatformError(PlatformError::ObjectRequired, QStringLiteral("Object required"));
    return ref;
}
} // namespace

TavrinX::CollectionRef TavrinX::mclnFileNames() const {
    return mclnFileNames_;
}
void TavrinX::setMclnFileNames(CollectionRef vNewValue) {
    mclnFileNames_ = required(vNewValue);
}
TavrinX::CollectionRef TavrinX::mclnLines() const {
    return mclnLines_;
}
void TavrinX::setMclnLines(CollectionRef vNewValue) {
    mclnLines_ = required(vNewValue);
}
TavrinX::CollectionRef TavrinX::mclnColumns() const {
    return mclnColumns_;
}
void TavrinX::setMclnColumns(CollectionRef vNewValue) {
    mclnColumns_ = required(vNewValue);
}
TavrinX::CollectionRef TavrinX::mclnItemsFound() const {
    return mclnItemsFound_;
}
void TavrinX::setMclnItemsFound(CollectionRef vNewValue) {
    mclnItemsFound_ = required(vNewValue);
}
TavrinX::CollectionRef TavrinX::mclnResults() const {
    return mclnResults_;
}
void TavrinX::setMclnResults(CollectionRef vNewValue) {
    mclnResults_ = required(vNewValue);
}

void TavrinX::raiseError(qint32 lCode, const QString &sMessage) {
    qint32 ErrorCode = lCode;
    QString sErrorString = sMessage;
    emit OnError(ErrorCode, sErrorString);
}

namespace {
const QString kInProcess = QStringLiteral("Search is in process, abort current search first.");
} // namespace

void TavrinX::Grep() {
    if (mwtmrGrep->isActive()) {
        raiseError(-101, kInProcess);
        return;
    }
    if (msSearchString.isEmpty()) {
        raiseError(-10, QStringLiteral("Invalid Search String"));
        return;
    }
    // The lookup comes first and a failure of it fails the call. A path that is not absolute
    // is refused without one: the server's working folder has nothing to do with the caller's.
    const bool absolute = msSearchPath.startsWith(u'/');
    const bool found = absolute && !Dir(msSearchPath, vbDirectory).isEmpty();
    if (msSearchPath.isEmpty() || !found) {
        raiseError(-11, QStringLiteral("Invalid Search Path"));
        return;
    }
    if (msSearchExt.isEmpty()) {
        raiseError(-12, QStringLiteral("Invalid Search File Type"));
        return;
    }
    if (const auto [lCode, sMessage] = optionsRefusal(); lCode != 0) {
        raiseError(lCode, sMessage);
        return;
    }
    mlSearchTime = GetTickCount();
    mbAbort = vbFalse;
    mwtmrGrep->start();
}

std::pair<qint32, QString> TavrinX::optionsRefusal() const {
    QString error;
    if (mbUseRegularExpression != vbFalse &&
        !RegexMatcher::compile(msSearchString, mbCaseSensitive == vbTrue,
                               mbWholeWordOnly != vbFalse, &error))
        return {-13, QStringLiteral("Invalid Regular Expression: ") + error};
    if (!FolderFilter::parse(msExcludeFolders, &error))
        return {-14, QStringLiteral("Invalid Exclude Folders: ") + error};
    return {0, QString()};
}

template <typename T> void TavrinX::writeChecked(T &member, const T &value) {
    T old = std::exchange(member, value);
    if (!mwtmrGrep->isActive())
        return;
    if (const auto [lCode, sMessage] = optionsRefusal(); lCode != 0) {
        member = std::move(old);
        throw PlatformError(kInvalidPropertyValue, sMessage);
    }
}

void TavrinX::Abort() {
    mbAbort = vbTrue;
    // A scan waiting for its turn sees it at once.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread()))
        dispatcher->wakeUp();
}

LineRules::Settings TavrinX::lineSettings() const {
    return {msSearchString, mbCaseSensitive == vbTrue, mbWholeWordOnly != vbFalse,
            mbUseRegularExpression != vbFalse};
}

void TavrinX::Replace() {
    if (mwtmrGrep->isActive()) {
        raiseError(-101, kInProcess);
        return;
    }
    switch (mSearchRecord.state) {
    case SearchRecord::State::Completed:
        break;
    case SearchRecord::State::Aborted:
        raiseError(Replacement::kSearchAborted,
                   QStringLiteral("The last search was aborted; search again before replacing."));
        return;
    default:
        raiseError(Replacement::kNoCompletedSearch,
                   QStringLiteral("There is no completed search to replace in."));
        return;
    }
    // Findings made by two sets of rules could not all be replaced by one.
    if (mSearchRecord.settingsChanged) {
        raiseError(Replacement::kSettingsChanged,
                   QStringLiteral("The search settings changed while the search ran; search "
                                  "again before replacing."));
        return;
    }
    QString error;
    std::unique_ptr<LineReplacer> replacer;
    try {
        replacer = LineReplacer::make(mSearchRecord.settings, msReplaceWith, &error);
    } catch (const PlatformError &e) {
        error = e.description();
    }
    if (!replacer) {
        raiseError(Replacement::kInvalidReplaceWith,
                   QStringLiteral("Invalid Replace With: ") + error);
        return;
    }
    armReplacement(std::make_unique<Replacement>(*this, std::move(replacer)));
}

void TavrinX::UndoReplace() {
    if (mwtmrGrep->isActive()) {
        raiseError(-101, kInProcess);
        return;
    }
    if (mJournal.files.empty()) {
        raiseError(Replacement::kNothingToUndo, QStringLiteral("There is no replace to undo."));
        return;
    }
    armReplacement(std::make_unique<Replacement>(*this, nullptr));
}

void TavrinX::armReplacement(std::unique_ptr<Replacement> replacement) {
    mReplacement = std::move(replacement);
    mbAbort = vbFalse;
    mwtmrGrep->start();
}

void TavrinX::tmrGrep_Timer() {
    if (mbInTick)
        return;
    mbInTick = true;
    std::shared_ptr<TavrinX> self = shared_from_this(); // keeps the engine while the scan runs
    {
        ScanGate *gate = ScanGate::installed();
        const ScanGate::Pass pass =
            gate ? gate->enter([this] { return mbAbort == vbFalse; }) : nullptr;
        if (const std::unique_ptr<Replacement> work = std::move(mReplacement))
            work->Run();
        else
            Scan(*this).RunScan();
    }
    mwtmrGrep->stop();
    mbInTick = false;
    if (self.use_count() == 1 && QCoreApplication::instance()) {
        // The last reference: release the engine after this timer's signal has returned.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [keep = std::move(self)] {}, Qt::QueuedConnection);
    }
}

QString TavrinX::SearchPath() const {
    return msSearchPath;
}
void TavrinX::setSearchPath(const QString &vNewValue) {
    msSearchPath = vNewValue;
}
QString TavrinX::SearchExt() const {
    return msSearchExt;
}
void TavrinX::setSearchExt(const QString &vNewValue) {
    msSearchExt = vNewValue.toLower();
}
QString TavrinX::SearchString() const {
    return msSearchString;
}

void TavrinX::setSearchString(const QString &vNewValue) {
    writeChecked(msSearchString, vNewValue);
    ++mlSettingsVersion;
}

VBool TavrinX::CaseSensitive() const {
    return mbCaseSensitive;
}

void TavrinX::setCaseSensitive(VBool vNewValue) {
    writeChecked(mbCaseSensitive, vNewValue);
    ++mlSettingsVersion;
}

QVariant TavrinX::WholeWordOnly() const {
    return vboolVariant(mbWholeWordOnly);
}

void TavrinX::setWholeWordOnly(const QVariant &vNewValue) {
    writeChecked(mbWholeWordOnly, variantToVBool(vNewValue));
    ++mlSettingsVersion;
}

QVariant TavrinX::LookInSubfolders() const {
    return vboolVariant(mbLookInSubfolders);
}

void TavrinX::setLookInSubfolders(const QVariant &vNewValue) {
    mbLookInSubfolders = variantToVBool(vNewValue);
}

qint32 TavrinX::SearchCount() const {
    return mlSearchCount;
}
qint32 TavrinX::SearchTime() const {
    return mlSearchTime;
}
VBool TavrinX::SearchActive() const {
    return toVBool(mwtmrGrep->isActive());
}
TavrinX::CollectionRef TavrinX::FoundFiles() const {
    return mclnFileNames_;
}
TavrinX::CollectionRef TavrinX::FoundLines() const {
    return mclnLines_;
}
TavrinX::CollectionRef TavrinX::FoundColumns() const {
    return mclnColumns_;
}
TavrinX::CollectionRef TavrinX::FoundText() const {
    return mclnItemsFound_;
}
TavrinX::CollectionRef TavrinX::ResultsFound() const {
    return mclnResults_;
}

QString TavrinX::ExcludeFolders() const {
    return msExcludeFolders;
}
void TavrinX::setExcludeFolders(const QString &vNewValue) {
    writeChecked(msExcludeFolders, vNewValue);
}
VBool TavrinX::SkipBinaryFiles() const {
    return mbSkipBinaryFiles;
}
void TavrinX::setSkipBinaryFiles(VBool vNewValue) {
    mbSkipBinaryFiles = toVBool(vNewValue != vbFalse);
}
VBool TavrinX::UseRegularExpression() const {
    return mbUseRegularExpression;
}
void TavrinX::setUseRegularExpression(VBool vNewValue) {
    writeChecked(mbUseRegularExpression, toVBool(vNewValue != vbFalse));
    ++mlSettingsVersion;
}
qint32 TavrinX::FilesSearched() const {
    return mlFilesSearched;
}
QString TavrinX::CurrentFolder() const {
    return QString::fromUtf8(mCurrentFolder);
}
QString TavrinX::ReplaceWith() const {
    return msReplaceWith;
}
void TavrinX::setReplaceWith(const QString &vNewValue) {
    msReplaceWith = vNewValue;
}
qint32 TavrinX::LinesReplaced() const {
    return mlLinesReplaced;
}
qint32 TavrinX::FilesReplaced() const {
    return mlFilesReplaced;
}

} // namespace TavrinEXE
