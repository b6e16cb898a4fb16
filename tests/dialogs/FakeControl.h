#pragma once

#include "PlatformError.h"

#include <QList>
#include <QObject>
#include <QVariant>

// Stands in for the control: the properties the dialogs use, each write recorded in order.
class FakeControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint16 CaseSensitive READ CaseSensitive WRITE setCaseSensitive)
    Q_PROPERTY(QVariant WholeWordOnly READ WholeWordOnly WRITE setWholeWordOnly)
    Q_PROPERTY(QVariant LookInSubfolders READ LookInSubfolders WRITE setLookInSubfolders)
    Q_PROPERTY(qint16 StreamFindings READ StreamFindings WRITE setStreamFindings)
    Q_PROPERTY(QString SearchPath READ SearchPath WRITE setSearchPath)
    Q_PROPERTY(QString SearchExt READ SearchExt WRITE setSearchExt)
    Q_PROPERTY(QString SearchString READ SearchString WRITE setSearchString)
public:
    struct Write {
        QByteArray name;
        QVariant value;
    };
    QList<Write> writes;
    // A write of this property fails as an engine call would.
    QByteArray failOn;

    QList<QByteArray> writtenNames() const {
        QList<QByteArray> names;
        for (const Write &w : writes)
            names << w.name;
        return names;
    }
    QVariant lastWrite(const QByteArray &name) const {
        for (auto it = writes.crbegin(); it != writes.crend(); ++it)
            if (it->name == name)
                return it->value;
        return {};
    }

    qint16 CaseSensitive() const { return mCaseSensitive; }
    void setCaseSensitive(qint16 v) {
        record("CaseSensitive", QVariant::fromValue(v)), mCaseSensitive = v;
    }
    QVariant WholeWordOnly() const { return mWholeWordOnly; }
    void setWholeWordOnly(const QVariant &v) { record("WholeWordOnly", v), mWholeWordOnly = v; }
    QVariant LookInSubfolders() const { return mLookInSubfolders; }
    void setLookInSubfolders(const QVariant &v) {
        record("LookInSubfolders", v), mLookInSubfolders = v;
    }
    qint16 StreamFindings() const { return mStreamFindings; }
    void setStreamFindings(qint16 v) {
        record("StreamFindings", QVariant::fromValue(v)), mStreamFindings = v;
    }
    QString SearchPath() const { return mSearchPath; }
    void setSearchPath(const QString &v) { record("SearchPath", v), mSearchPath = v; }
    QString SearchExt() const { return mSearchExt; }
    void setSearchExt(const QString &v) { record("SearchExt", v), mSearchExt = v; }
    QString SearchString() const { return mSearchString; }
    void setSearchString(const QString &v) { record("SearchString", v), mSearchString = v; }

    // Sets the state without recording, as the control's settings load would.
    void preset(qint16 caseSensitive, bool wholeWord, bool subfolders, qint16 stream) {
        mCaseSensitive = caseSensitive;
        mWholeWordOnly = QVariant(wholeWord);
        mLookInSubfolders = QVariant(subfolders);
        mStreamFindings = stream;
    }

private:
    void record(const char *name, const QVariant &v) {
        if (failOn == name)
            throw Tavrin::PlatformError(Tavrin::PlatformError::ServerUnavailable, "server gone");
        writes.append({name, v});
    }

    qint16 mCaseSensitive = 0;
    QVariant mWholeWordOnly = QVariant(false);
    QVariant mLookInSubfolders = QVariant(true);
    qint16 mStreamFindings = -1;
    QString mSearchPath, mSearchExt, mSearchString;
};
