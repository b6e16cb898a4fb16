#pragma once

// A host form with TavrinX controls on it, a private settings folder, and a folder tree to
// search; the control reaches sorvik over the test's private session bus.

#include "PrivateProfile.h"
#include "ResultsTableView.h"
#include "SettingsFolder.h"
#include "StatusBar.h"
#include "StatusBarPanel.h"
#include "TavrinX.h"
#include "UserControlHost.h"
#include "modSettings.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

class ControlFixture {
public:
    ControlFixture() {
        SettingsFolder::setLookup([dir = mSettingsDir.path()] { return dir; });
        setSettingsFilePath(QString());
        mForm = std::make_unique<QWidget>();
        mHost = new Tavrin::UserControlHost(mForm.get());
    }
    ~ControlFixture() {
        mForm.reset(); // terminates the controls
        SettingsFolder::setLookup({});
        setSettingsFilePath(QString());
    }

    template <class Control = TavrinX> Control *load(const QString &name) {
        return mHost->load<Control>(name);
    }
    // A loaded instance set to search the fixture's tree for text.
    TavrinX *loadSearching(const QString &name, const QString &text) {
        TavrinX *control = load(name);
        control->setSearchPath(tree());
        control->setSearchString(text);
        return control;
    }
    // Runs the control's search to its ScanCompleted; false when it did not come in time.
    static bool grepToEnd(TavrinX *control) {
        QSignalSpy completed(control, &TavrinX::ScanCompleted);
        control->Grep();
        return !completed.isEmpty() || completed.wait(10000);
    }
    TavrinX *createNew(const QString &name = QStringLiteral("TavrinX1")) {
        return mHost->createNew<TavrinX>(name);
    }
    void terminate(TavrinX *control) { mHost->terminate(control); }

    QString settingsFile(const QString &baseName) const {
        return mSettingsDir.filePath(baseName + QStringLiteral(".INI"));
    }
    QString readSetting(const QString &baseName, const QString &section, const QString &key) const {
        return GetPrivateProfileStringA(section, key, QStringLiteral("<none>"), 500,
                                        settingsFile(baseName));
    }

    // A file below the search folder.
    QString write(const QString &relativePath, const QByteArray &content) {
        const QString path = mTree.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return QFileInfo(path).absoluteFilePath();
    }
    QString tree() const { return mTree.path(); }

    static Tavrin::ResultsTableView *grid(TavrinX *control) {
        return control->findChild<Tavrin::ResultsTableView *>(QStringLiteral("fgFiles"));
    }
    static QString panel(TavrinX *control, int n) {
        return control->findChild<Tavrin::StatusBar *>(QStringLiteral("sbStatus"))
            ->Panels(n)
            .Text();
    }

    QWidget *form() const { return mForm.get(); }

private:
    QTemporaryDir mSettingsDir;
    QTemporaryDir mTree;
    std::unique_ptr<QWidget> mForm;
    Tavrin::UserControlHost *mHost;
};

// Records the control's events as text, in order.
class EventLog : public QObject {
public:
    explicit EventLog(TavrinX *control) {
        connect(control, &TavrinX::ScanStarted, this, [this] { events << "ScanStarted"; });
        connect(control, &TavrinX::ScanCompleted, this, [this] { events << "ScanCompleted"; });
        connect(control, &TavrinX::OnError, this, [this](qint32 &code, QString &message) {
            events << QStringLiteral("OnError %1 %2").arg(code).arg(message);
        });
        connect(control, &TavrinX::ReplaceCompleted, this, [this](qint32 &lines, qint32 &files) {
            events << QStringLiteral("ReplaceCompleted %1 %2").arg(lines).arg(files);
        });
        connect(control, &TavrinX::OnFileFound, this,
                [this](qint32 &index, QString &file, qint32 &line, qint32 &column, QString &found) {
                    events << QStringLiteral("OnFileFound %1 %2:%3:%4:%5")
                                  .arg(index)
                                  .arg(QFileInfo(file).fileName())
                                  .arg(line)
                                  .arg(column)
                                  .arg(found);
                });
    }
    QStringList events;
};
