#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QTest>

// Writes files below root; keys are relative paths, folders are made as needed.
inline void writeTree(const QString &root, const QMap<QString, QByteArray> &files) {
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = root + u'/' + it.key();
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }
}

// text as UTF-16 with its byte order mark.
inline QByteArray utf16(const QString &text, bool bigEndian) {
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}
