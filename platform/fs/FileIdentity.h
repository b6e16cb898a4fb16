#pragma once

#include <QtGlobal>
#include <sys/stat.h>

// What tells a file or folder from one put in its place or changed since: a folder's times
// change with its entries, a file's with its contents.
struct FileIdentity {
    quint64 device = 0, inode = 0;
    qint64 size = 0, modifiedNs = 0, changedNs = 0;

    static FileIdentity of(const struct stat &st) {
        const auto ns = [](const timespec &t) {
            return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
        };
        return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), ns(st.st_mtim),
                ns(st.st_ctim)};
    }
    bool sameFile(const FileIdentity &o) const { return device == o.device && inode == o.inode; }
    bool operator==(const FileIdentity &o) const {
        return sameFile(o) && size == o.size && modifiedNs == o.modifiedNs &&
               changedNs == o.changedNs;
    }
};
