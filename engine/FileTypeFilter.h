#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <vector>

// The file types a scan searches: a list of wildcard patterns ("*.cpp;*.h", "*.c *.h",
// "Makefile", "[ab].txt") separated by ";", "," or blanks, each matched against a file's whole
// name ignoring case ("*" any run of characters, "?" one, "[...]" a set). An entry without a
// wildcard is an exact name; "*" and "*.*" take every file. Made once per list: the common
// forms ("*.ext", a plain name) are tested on the name's bytes, the others by one regular
// expression on the decoded name.
class FileTypeFilter {
public:
    explicit FileTypeFilter(const QString &list = {});

    const QString &list() const { return msList; }
    bool takes(const QByteArray &name) const;

private:
    // Text a name ends with, or is; ascii holds it when it is plain ASCII.
    struct Literal {
        QString text;
        QByteArray ascii;
        bool whole = false; // the whole name, not only its end
        bool endOf(const QByteArray &name) const;
    };

    QString msList;
    bool mbEveryFile = false;
    std::vector<Literal> mLiterals;
    QRegularExpression mOthers; // the other entries; empty pattern when there is none
};
