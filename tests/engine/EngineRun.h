#pragma once

#include "TavrinXEngine.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QTest>

// Records what one engine raises and runs its scans to their end.
struct EngineRun {
    std::shared_ptr<TavrinEXE::TavrinX> engine = TavrinEXE::TavrinX::create();
    QStringList events; // "ScanStarted", "ScanCompleted", "OnError <code> <message>"

    EngineRun() {
        QObject::connect(engine.get(), &TavrinEXE::TavrinX::ScanStarted, engine.get(),
                         [this] { events << QStringLiteral("ScanStarted"); });
        QObject::connect(engine.get(), &TavrinEXE::TavrinX::ScanCompleted, engine.get(),
                         [this] { events << QStringLiteral("ScanCompleted"); });
        QObject::connect(engine.get(), &TavrinEXE::TavrinX::OnError, engine.get(),
                         [this](qint32 &code, QString &message) {
                             events << QStringLiteral("OnError %1 %2").arg(code).arg(message);
                         });
    }

    // Waits until the engine is idle again.
    bool waitIdle(int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (engine->SearchActive() != Tavrin::vbFalse && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return engine->SearchActive() == Tavrin::vbFalse;
    }

    // Searches root for needle in the files of type ext and waits for the end; the findings as
    // findings(root) gives them, or "timeout".
    QStringList scan(const QString &root, const QString &needle, const QString &ext = "*.*") {
        engine->setSearchPath(root);
        engine->setSearchString(needle);
        engine->setSearchExt(ext);
        engine->Grep();
        if (!waitIdle())
            return {"timeout"};
        return findings(root);
    }

    // Findings as "path:line:column:text", relative to root when given.
    QStringList findings(const QString &root = {}) const {
        QStringList out;
        const auto files = engine->FoundFiles();
        for (qint32 i = 1; i <= files->Count(); ++i) {
            QString path = files->Item(i).toString();
            if (!root.isEmpty())
                path = QDir(root).relativeFilePath(path);
            out << QStringLiteral("%1:%2:%3:%4")
                       .arg(path)
                       .arg(engine->FoundLines()->Item(i).toInt())
                       .arg(engine->FoundColumns()->Item(i).toInt())
                       .arg(engine->FoundText()->Item(i).toString());
        }
        return out;
    }
};

