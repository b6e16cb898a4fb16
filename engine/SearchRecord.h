#pragma once

#include "LineRules.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace TavrinEXE {

// What the last scan found, kept for a replace: the line rules it searched with, and each
// finding's file (its path's raw bytes), line number and text as kept, file by file in the
// order found.
struct SearchRecord {
    enum class State { None, Running, Completed, Aborted };
    struct Finding {
        qint32 line = 0;
        QString text;
    };
    struct File {
        QByteArray path;
        std::vector<Finding> findings; // in line order
    };

    State state = State::None;
    LineRules::Settings settings; // as the scan began
    bool settingsChanged = false; // a setting of the line rules was written while it ran
    std::vector<File> files;

    void add(const QByteArray &path, qint32 line, const QString &text) {
        if (files.empty() || files.back().path != path)
            files.push_back({path, {}});
        files.back().findings.push_back({line, text});
    }
};

} // namespace TavrinEXE
