// Helper process for the profile tests: writes keys, holds the lock, or rewrites a big value
// until it is killed.
//   profile_writer write <path> <section> <key-prefix> <keys> <rounds>
//   profile_writer hold <path>
//   profile_writer churn <path> <value-size>
#include "PrivateProfile.h"
#include "ProfileFileLock.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const QString path = args.value(2);

    if (mode == QLatin1String("write") && args.size() == 7) {
        const int keys = args.at(5).toInt();
        const int rounds = args.at(6).toInt();
        for (int r = 0; r < rounds; ++r)
            for (int k = 0; k < keys; ++k)
                if (!WritePrivateProfileStringA(args.at(3), args.at(4) + QString::number(k),
                                                QString::number(r), path))
                    return 2;
        return 0;
    }
    if (mode == QLatin1String("hold") && args.size() == 3) {
        ProfileFileLock lock(path);
        if (!lock.lock())
            return 2;
        std::puts("locked");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
    if (mode == QLatin1String("churn") && args.size() == 4) {
        const int size = args.at(3).toInt();
        for (int i = 0;; ++i) {
            WritePrivateProfileStringA(QStringLiteral("Big"), QStringLiteral("Value"),
                                       QString(size, i % 2 ? QLatin1Char('a') : QLatin1Char('b')),
                                       path);
            if (i == 0) {
                std::puts("wrote");
                std::fflush(stdout);
            }
        }
    }
    return 1;
}
