#include "BusMessageLimit.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace TavrinEXE::BusMessageLimit {

namespace {
// Where the daemon's configuration files are installed (Debian's dbus package).
const QString kConfigDir = QStringLiteral("/usr/share/dbus-1");
constexpr int kDeepestInclude = 16;

void readConfig(const QString &file, int depth, qint64 &limit);

void readInclude(const QString &base, const QString &name, int depth, qint64 &limit) {
    const QString path = QDir(QFileInfo(base).absolutePath()).absoluteFilePath(name);
    if (QFileInfo(path).isDir()) {
        const QStringList files =
            QDir(path).entryList({QStringLiteral("*.conf")}, QDir::Files, QDir::Name);
        for (const QString &f : files)
            readConfig(QDir(path).filePath(f), depth + 1, limit);
    } else {
        readConfig(path, depth + 1, limit);
    }
}

void readConfig(const QString &file, int depth, qint64 &limit) {
    QFile f(file);
    if (depth > kDeepestInclude || !f.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("limit") &&
            xml.attributes().value(QLatin1String("name")) == QLatin1String("max_message_size")) {
            bool ok = false;
            const qint64 value = xml.readElementText().trimmed().toLongLong(&ok);
            if (ok && value > 0)
                limit = value;
        } else if ((name == QLatin1String("include") || name == QLatin1String("includedir")) &&
                   xml.attributes().value(QLatin1String("if_selinux_enabled")) !=
                       QLatin1String("yes")) {
            readInclude(file, xml.readElementText().trimmed(), depth, limit);
        }
    }
}

// The configuration file named on the daemon's command line.
QString configOf(uint pid) {
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> args = f.readAll().split('\0');
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QByteArray &a = args.at(i);
        if (a.startsWith("--config-file="))
            return QString::fromLocal8Bit(a.mid(14));
        if (a == "--config-file" && i + 1 < args.size())
            return QString::fromLocal8Bit(args.at(i + 1));
        if (a == "--session" || a == "--system")
            return kConfigDir + u'/' + QString::fromLatin1(a.mid(2)) + QStringLiteral(".conf");
    }
    return {};
}
} // namespace

qint64 fromConfig(const QString &file) {
    qint64 limit = -1;
    readConfig(file, 0, limit);
    return limit;
}

qint64 read(const QDBusConnection &bus) {
    const QDBusReply<uint> pid =
        bus.interface()->servicePid(QStringLiteral("org.freedesktop.DBus"));
    const QString config = pid.isValid() ? configOf(pid.value()) : QString();
    const qint64 limit = config.isEmpty() ? -1 : fromConfig(config);
    return qMin(limit > 0 ? limit : kDaemonDefault, kProtocolLargest);
}

} // namespace TavrinEXE::BusMessageLimit
