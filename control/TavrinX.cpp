#include "TavrinX.h"

#include "KeyedCollection.h"
#include "PatternMatchLength.h"
#include "PlatformError.h"
#include "ResultsGrid.h"
#include "SearchRelay.h"
#include "ShowTavrinDialog.h"
#include "StatusBar.h"
#include "StatusBarPanel.h"
#include "TavrinXProxy.h"
#include "Twips.h"
#include "frmAbout.h"
#include "modSettings.h"

#include <QDir>

namespace {
constexpr int DesignWidth = 6195;  // twips
constexpr int DesignHeight = 3465; // twips

QStringList oldestFirst(const KeyedCollection &list) {
    QStringList values;
    for (const QString &value : list)
        values.append(value);
    return values;
}

// Writes the text settings' recent list: the value becomes its newest entry and the list's
// section is written again.
void rememberRecent(KeyedCollection &list, const QString &section, const QString &value) {
    AddRecentValue(list, value);
    SaveRecentList(section, list);
}
} // namespace

namespace Tavrin {

class TavrinXPrivate {
public:
    std::unique_ptr<TavrinEXE::TavrinXProxy> mEngine;
    Tavrin::StatusBar *sbStatus = nullptr;
    ResultsGrid *mGrid = nullptr;
    SearchRelay *mRelay = nullptr;
    KeyedCollection mclnSearchFor;
    KeyedCollection mclnFileExt;
    KeyedCollection mclnSearchPath;
    Tavrin::VBool mbStreamFindings = Tavrin::vbTrue;
    // What the engine's UseRegularExpression holds, kept here so that a literal search asks the
    // engine for nothing more than it always did.
    Tavrin::VBool mbUseRegularExpression = Tavrin::vbFalse;
};

} // namespace Tavrin

TavrinX::TavrinX(QWidget *parent)
    : Tavrin::UserControl(parent), d(std::make_unique<Tavrin::TavrinXPrivate>()) {
    d->sbStatus = new Tavrin::StatusBar(this);
    d->mGrid = new ResultsGrid(*this, *d->sbStatus);
    d->mRelay = new SearchRelay(*d->mGrid, *d->sbStatus, d->mbStreamFindings, this);
    d->sbStatus->setObjectName(QStringLiteral("sbStatus"));
    d->sbStatus->addPanel(QStringLiteral("Hits Found:"), 1000);
    d->sbStatus->addPanel(QString(), 1440).setAutoSize(true);
    d->sbStatus->addPanel(QString(), 1440).setAutoSize(true);
    d->sbStatus->addPanel(QStringLiteral("Total Scan Time:"), 1440);
    d->sbStatus->addPanel(QString(), 1440).setAutoSize(true);
    resize(Twips::toPixelsX(this, DesignWidth), Twips::toPixelsY(this, DesignHeight));
    connect(d->mGrid, &ResultsGrid::DblClick, this, &TavrinX::DblClick);
    connect(d->mRelay, &SearchRelay::OnFileFound, this, &TavrinX::OnFileFound);
    connect(d->mRelay, &SearchRelay::ScanCompleted, this, &TavrinX::ScanCompleted);
    connect(d->mRelay, &SearchRelay::ScanStarted, this, &TavrinX::ScanStarted);
    connect(d->mRelay, &SearchRelay::OnError, this, &TavrinX::OnError);
    connect(d->mRelay, &SearchRelay::ReplaceCompleted, this, &TavrinX::ReplaceCompleted);
}

TavrinX::~TavrinX() = default;

void TavrinX::Initialize() {
    if (SettingsFilePath().isEmpty())
        setSettingsFilePath(DefaultSettingsFile());
    InitializeTavrin();
}

void TavrinX::ReadProperties() {
    setSettingsFilePath(InstanceSettingsFile(Name()));
    InitializeTavrin();
}

void TavrinX::WriteProperties() {
    // All persistent state lives in the settings file, written as it changes.
}

void TavrinX::Resize() {
    d->mGrid->Layout();
}

void TavrinX::Terminate() {
    // No event after this point, even from a delivery under way further up the stack.
    d->mRelay->close();
    // Nobody can receive a failure here: a server that has gone must not stop the widths
    // from being saved.
    try {
        if (d->mEngine)
            d->mEngine->Abort();
    } catch (const Tavrin::PlatformError &) {
    }
    d->mclnSearchFor.Clear();
    d->mclnFileExt.Clear();
    d->mclnSearchPath.Clear();
    SaveColumnWidths(d->mGrid->currentWidths());
    d->mEngine.reset();
}

void TavrinX::InitializeTavrin() {
    auto engine = std::make_unique<TavrinEXE::TavrinXProxy>();
    d->mRelay->setEngine(engine.get());
    d->mEngine = std::move(engine);
    d->mclnSearchFor.Clear();
    d->mclnFileExt.Clear();
    d->mclnSearchPath.Clear();
    LoadSettings(*d->mEngine, d->mGrid->mlColWidth(), d->mbStreamFindings,
                 d->mbUseRegularExpression, d->mclnSearchPath, d->mclnFileExt, d->mclnSearchFor);
    d->mGrid->useDesignTimeGrid();
    d->mGrid->Recreate();
}

QString TavrinX::GetDataMatrix(qint32 &row, qint32 &column) {
    if (column > 3 || row > SearchCount())
        raiseError(-103, QStringLiteral("The parameters sent are not valid."));
    return d->mGrid->cell(row, column);
}

Tavrin::VBool TavrinX::SaveDataToTabFile(QString &FileName) {
    if (d->mGrid->saveToTabFile(FileName, SearchCount()))
        return Tavrin::vbTrue;
    raiseError(-104, QStringLiteral("Unable to save to file"));
    return Tavrin::vbFalse;
}

QVariant TavrinX::Grep() {
    if (d->mbUseRegularExpression == Tavrin::vbTrue)
        d->mGrid->setMatchLength(PatternMatchLength(SearchString(),
                                                    CaseSensitive() == Tavrin::vbTrue,
                                                    Tavrin::variantEqualsTrue(WholeWordOnly())));
    else // code points, as the engine counts columns
        d->mGrid->setMatchLength(qint32(SearchString().toUcs4().size()));
    d->mRelay->Grep();
    return {};
}

QVariant TavrinX::Abort() {
    d->mRelay->Abort();
    return {};
}

Tavrin::VBool TavrinX::ShowTavrinDialog() {
    return Tavrin::toVBool(::ShowTavrinDialog(this, oldestFirst(d->mclnSearchPath),
                                              oldestFirst(d->mclnFileExt),
                                              oldestFirst(d->mclnSearchFor)));
}

void TavrinX::ShowAboutBox() {
    ::ShowAboutBox();
}

void TavrinX::raiseError(qint32 code, const QString &message) {
    qint32 ErrorCode = code;
    QString sErrorString = message;
    emit OnError(ErrorCode, sErrorString);
}

QString TavrinX::SearchPath() const {
    return d->mEngine->SearchPath();
}

void TavrinX::setSearchPath(const QString &vNewValue) {
    // The engine runs in another process, with its own working folder: a relative folder is
    // taken from the host's.
    QString folder = vNewValue;
    if (!folder.isEmpty() && QDir::isRelativePath(folder))
        folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    d->mEngine->setSearchPath(folder);
    rememberRecent(d->mclnSearchPath, SearchPathSection, folder);
}

QString TavrinX::SearchExt() const {
    return d->mEngine->SearchExt();
}

void TavrinX::setSearchExt(const QString &vNewValue) {
    d->mEngine->setSearchExt(vNewValue);
    rememberRecent(d->mclnFileExt, FileExtSection, vNewValue);
}

QString TavrinX::SearchString() const {
    return d->mEngine->SearchString();
}

void TavrinX::setSearchString(const QString &vNewValue) {
    d->mEngine->setSearchString(vNewValue);
    rememberRecent(d->mclnSearchFor, SearchForSection, vNewValue);
}

Tavrin::VBool TavrinX::CaseSensitive() const {
    return d->mEngine->CaseSensitive();
}

void TavrinX::setCaseSensitive(Tavrin::VBool vNewValue) {
    d->mEngine->setCaseSensitive(vNewValue);
    WriteFlagSetting(QStringLiteral("CaseSensitive"), vNewValue == Tavrin::vbTrue);
}

QVariant TavrinX::WholeWordOnly() const {
    return d->mEngine->WholeWordOnly();
}

void TavrinX::setWholeWordOnly(const QVariant &vNewValue) {
    d->mEngine->setWholeWordOnly(vNewValue);
    WriteFlagSetting(QStringLiteral("WholeWordOnly"), Tavrin::variantEqualsTrue(vNewValue));
}

QVariant TavrinX::LookInSubfolders() const {
    return d->mEngine->LookInSubfolders();
}

void TavrinX::setLookInSubfolders(const QVariant &vNewValue) {
    d->mEngine->setLookInSubfolders(vNewValue);
    WriteFlagSetting(QStringLiteral("LookInSubfolders"), Tavrin::variantEqualsTrue(vNewValue));
}

Tavrin::VBool TavrinX::StreamFindings() const {
    return d->mbStreamFindings;
}

void TavrinX::setStreamFindings(Tavrin::VBool vNewValue) {
    d->mbStreamFindings = vNewValue;
    WriteFlagSetting(QStringLiteral("StreamFindings"), vNewValue == Tavrin::vbTrue);
}

qint32 TavrinX::SearchCount() const {
    return d->mGrid->deliveredCount();
}

qint32 TavrinX::SearchTime() const {
    return d->mRelay->searchTime();
}

Tavrin::VBool TavrinX::SearchActive() const {
    return d->mEngine->SearchActive();
}

QString TavrinX::ExcludeFolders() const {
    return d->mEngine->ExcludeFolders();
}

void TavrinX::setExcludeFolders(const QString &vNewValue) {
    d->mEngine->setExcludeFolders(vNewValue);
    WriteGeneralSetting(ExcludeFoldersKey, vNewValue);
}

Tavrin::VBool TavrinX::SkipBinaryFiles() const {
    return d->mEngine->SkipBinaryFiles();
}

void TavrinX::setSkipBinaryFiles(Tavrin::VBool vNewValue) {
    // The engine takes any non-zero value as true; the file keeps what the engine holds.
    d->mEngine->setSkipBinaryFiles(vNewValue);
    WriteFlagSetting(SkipBinaryFilesKey, vNewValue != Tavrin::vbFalse);
}

Tavrin::VBool TavrinX::UseRegularExpression() const {
    return d->mEngine->UseRegularExpression();
}

void TavrinX::setUseRegularExpression(Tavrin::VBool vNewValue) {
    d->mEngine->setUseRegularExpression(vNewValue);
    d->mbUseRegularExpression = Tavrin::toVBool(vNewValue != Tavrin::vbFalse);
    WriteFlagSetting(UseRegularExpressionKey, vNewValue != Tavrin::vbFalse);
}

qint32 TavrinX::FilesSearched() const {
    return d->mEngine->FilesSearched();
}

QString TavrinX::CurrentFolder() const {
    return d->mEngine->CurrentFolder();
}

QString TavrinX::ReplaceWith() const {
    return d->mEngine->ReplaceWith();
}

void TavrinX::setReplaceWith(const QString &vNewValue) {
    d->mEngine->setReplaceWith(vNewValue);
}

QVariant TavrinX::Replace() {
    d->mRelay->Replace(false);
    return {};
}

QVariant TavrinX::UndoReplace() {
    d->mRelay->Replace(true);
    return {};
}

qint32 TavrinX::LinesReplaced() const {
    return d->mEngine->LinesReplaced();
}

qint32 TavrinX::FilesReplaced() const {
    return d->mEngine->FilesReplaced();
}
