#include "PrivateProfile.h"

#include "IniDocument.h"
#include "ProfileFileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Cuts at the first NUL, then to what a buffer of `size` characters holds with its NUL,
// without splitting a surrogate pair.
QString fitBuffer(const QString &text, int size) {
    QString s = text;
    const qsizetype nul = s.indexOf(QChar(u'\0'));
    if (nul >= 0)
        s.truncate(nul);
    const qsizetype room = qMax(0, size - 1);
    if (s.size() > room) {
        qsizetype cut = room;
        if (cut > 0 && s.at(cut - 1).isHighSurrogate())
            --cut;
        s.truncate(cut);
    }
    return s;
}

} // namespace

QString GetPrivateProfileStringA(const QString &section, const QString &key, const QString &def,
                                 int size, const QString &path) {
    QFile file(path);
    std::optional<QString> value;
    if (file.open(QIODevice::ReadOnly))
        value = IniDocument(file.readAll()).value(section, key);
    return fitBuffer(value.value_or(def), size);
}

bool WritePrivateProfileStringA(const QString &section, const QString &key, const QString &value,
                                const QString &path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    ProfileFileLock lock(path);
    if (!lock.lock())
        return false;

    QByteArray old;
    QFile current(path);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            return false; // writing now would drop the keys we could not read
        old = current.readAll();
        if (current.error() != QFileDevice::NoError)
            return false;
        current.close();
    }
    IniDocument doc(old);
    doc.setValue(section, key, value);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(doc.toByteArray());
    return out.commit();
}
