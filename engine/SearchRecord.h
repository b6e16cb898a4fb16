#pragma once

#include "CompactText.h"
#include "LineRules.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <vector>

namespace TavrinEXE {

// What the last scan found, kept for a replace: the line rules it searched with, and each
// finding's file (its path's raw bytes), line number and text as kept, file by file in the
// order found.
struct SearchRecord {
    enum class State { None, Running, Completed, Aborted };
    struct Finding {
        qint32 line = 0;
        CompactText text;
    };
    struct File {
        QByteArray path;
        std::size_t first = 0; // its findings: findings[first] on
        std::size_t count = 0;
    };

    State state = State::None;
    LineRules::Settings settings; // as the scan began
    bool settingsChanged = false; // a setting of the line rules was written while it ran
    std::vector<File> files;
    // Of all files, in the order found: one list grows by blocks, where a list a file would
    // move each finding again every time it doubles.
    std::deque<Finding> findings;

    void add(const QByteArray &path, qint32 line, const CompactText &text) {
        if (files.empty() || files.back().path != path)
            files.push_back({path, findings.size(), 0});
        findings.push_back({line, text});
        ++files.back().count;
    }
};

} // namespace TavrinEXE
