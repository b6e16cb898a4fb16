#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace TavrinEXE {

// What the last replace wrote, file by file, for its undo. A file leaves the journal once it is
// restored; one left alone stays, so that a later undo may try it again.
struct ReplaceJournal {
    struct Line {
        qint32 number = 0;
        QString before, after;
    };
    struct File {
        QByteArray path;      // as the search found it
        qint64 lineCount = 0; // as the replace left it
        std::vector<Line> lines;
    };

    std::vector<File> files;
};

} // namespace TavrinEXE
