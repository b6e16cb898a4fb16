#include "TavrinX.h"

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
} // namespace

TavrinX::TavrinX(QWidget *parent)
    : UserControl(parent), sbStatus(new ComctlLib::StatusBar(this)),
      mGrid(new ResultsGrid(*this, *sbStatus)),
      mRelay(new SearchRelay(*mGrid, *sbStatus, mbStreamFindings, this)) {
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->addPanel(QStringLiteral("Hits Found:"), 1000);
    sbStatus->addPanel(QString(), 1440).setAutoSize(true);
    sbStatus->addPanel(QString(), 1440).setAutoSize(true);
    sbStatus->addPanel(QStringLiteral("Total Scan Time:"), 1440);
    sbStatus->addPanel(QString(), 1440).setAutoSize(true);
    resize(Twips::toPixelsX(this, DesignWidth), Twips::toPixelsY(this, DesignHeight));
    connect(mGrid, &ResultsGrid::DblClick, this, &TavrinX::DblClick);
    connect(mRelay, &SearchRelay::OnFileFound, this, &TavrinX::OnFileFound);
    connect(mRelay, &SearchRelay::ScanCompleted, this, &TavrinX::ScanCompleted);
    connect(mRelay, &SearchRelay::ScanStarted, this, &TavrinX::ScanStarted);
    connect(mRelay, &SearchRelay::OnError, this, &TavrinX::OnError);
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
    mGrid->Layout();
}

void TavrinX::Terminate() {
    // No event after this point, even from a delivery under way further up the stack.
    mRelay->close();
    // Nobody can receive a failure here: a server that has gone must not stop the widths
    // from being saved.
    try {
        if (mEngine)
            mEngine->Abort();
    } catch (const PlatformError &) {
    }
    mclnSearchFor.Clear();
    mclnFileExt.Clear();
    mclnSearchPath.Clear();
    SaveColumnWidths(mGrid->currentWidths());
    mEngine.reset();
}

void TavrinX::InitializeTavrin() {
    auto engine = std::make_unique<TavrinEXE::TavrinXProxy>();
    mRelay->setEngine(engine.get());
    mEngine = std::move(engine);
    mclnSearchFor.Clear();
    mclnFileExt.Clear();
    mclnSearchPath.Clear();
    LoadSettings(*mEngine, mGrid->mlColWidth(), mbStreamFindings, mclnSearchPath, mclnFileExt,
                 mclnSearchFor);
    mGrid->useDesignTimeGrid();
    mGrid->Recreate();
}

QString TavrinX::GetDataMatrix(qint32 &row, qint32 &column) {
    if (column > 3 || row > SearchCount())
        raiseError(-103, QStringLiteral("The parameters sent are not valid."));
    return mGrid->cell(row, column);
}

VBool TavrinX::SaveDataToTabFile(QString &FileName) {
    if (mGrid->saveToTabFile(FileName, SearchCount()))
        return vbTrue;
    raiseError(-104, QStringLiteral("Unable to save to file"));
    return vbFalse;
}

QVariant TavrinX::Grep() {
    // Code points, as the engine counts columns.
    mGrid->setMatchLength(qint32(SearchString().toUcs4().size()));
    mRelay->Grep();
    return {};
}

QVariant TavrinX::Abort() {
    mRelay->Abort();
    return {};
}

VBool TavrinX::ShowTavrinDialog() {
    return toVBool(::ShowTavrinDialog(this, oldestFirst(mclnSearchPath), oldestFirst(mclnFileExt),
                                      oldestFirst(mclnSearchFor)));
}

void TavrinX::ShowAboutBox() {
    ::ShowAboutBox();
}

void TavrinX::raiseError(qint32 code, const QString &message) {
    qint32 ErrorCode = code;
    QString sErrorString = message;
    emit OnError(ErrorCode, sErrorString);
}

void TavrinX::rememberRecent(KeyedCollection &list, const QString &section, const QString &value) {
    AddRecentValue(list, value);
    SaveRecentList(section, list);
}

QString TavrinX::SearchPath() const {
    return mEngine->SearchPath();
}

void TavrinX::setSearchPath(const QString &vNewValue) {
    // The engine runs in another process, with its own working folder: a relative folder is
    // taken from the host's.
    QString folder = vNewValue;
    if (!folder.isEmpty() && QDir::isRelativePath(folder))
        folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    mEngine->setSearchPath(folder);
    rememberRecent(mclnSearchPath, SearchPathSection, folder);
}

QString TavrinX::SearchExt() const {
    return mEngine->SearchExt();
}

void TavrinX::setSearchExt(const QString &vNewValue) {
    mEngine->setSearchExt(vNewValue);
    rememberRecent(mclnFileExt, FileExtSection, vNewValue);
}

QString TavrinX::SearchString() const {
    return mEngine->SearchString();
}

void TavrinX::setSearchString(const QString &vNewValue) {
    mEngine->setSearchString(vNewValue);
    rememberRecent(mclnSearchFor, SearchForSection, vNewValue);
}

VBool TavrinX::CaseSensitive() const {
    return mEngine->CaseSensitive();
}

void TavrinX::setCaseSensitive(VBool vNewValue) {
    mEngine->setCaseSensitive(vNewValue);
    WriteFlagSetting(QStringLiteral("CaseSensitive"), vNewValue == vbTrue);
}

QVariant TavrinX::WholeWordOnly() const {
    return mEngine->WholeWordOnly();
}

void TavrinX::setWholeWordOnly(const QVariant &vNewValue) {
    mEngine->setWholeWordOnly(vNewValue);
    WriteFlagSetting(QStringLiteral("WholeWordOnly"), variantEqualsTrue(vNewValue));
}

QVariant TavrinX::LookInSubfolders() const {
    return mEngine->LookInSubfolders();
}

void TavrinX::setLookInSubfolders(const QVariant &vNewValue) {
    mEngine->setLookInSubfolders(vNewValue);
    WriteFlagSetting(QStringLiteral("LookInSubfolders"), variantEqualsTrue(vNewValue));
}

VBool TavrinX::StreamFindings() const {
    return mbStreamFindings;
}

void TavrinX::setStreamFindings(VBool vNewValue) {
    mbStreamFindings = vNewValue;
    WriteFlagSetting(QStringLiteral("StreamFindings"), vNewValue == vbTrue);
}

qint32 TavrinX::SearchCount() const {
    return mGrid->deliveredCount();
}

qint32 TavrinX::SearchTime() const {
    return mRelay->searchTime();
}

VBool TavrinX::SearchActive() const {
    return mEngine->SearchActive();
}
