// The archive's location: a file, or a PostgreSQL URI turned into the
// connection string that Qt's driver hands to libpq.
#include "app/archive_location.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <utility>

namespace {

// What the station sets when the URI does not: a server that does not
// answer costs the operator seconds, not minutes, and a connection that
// dies without a word (a pulled network cable) is given up within about
// 15 s instead of the system's many minutes.
const std::pair<const char*, const char*> kDefaults[] = {
    {"connect_timeout", "5"},     {"application_name", "quorvan"}, {"keepalives_idle", "10"},
    {"keepalives_interval", "5"}, {"keepalives_count", "3"},       {"tcp_user_timeout", "15000"},
};

QString decoded(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// libpq's quoting: the value in single quotes, quote and backslash escaped.
QString quoted(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

QString& overriddenLocation() {
    static QString location;
    return location;
}

}  // namespace

ArchiveLocation::ArchiveLocation(QString text) : text_(std::move(text)) {
    static const QRegularExpression scheme(QStringLiteral("^postgres(ql)?://"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (!scheme.match(text_).hasMatch()) return;
    kind_ = Kind::PostgreSQL;
    parsePostgreSQL();
}

void ArchiveLocation::addParameter(const QString& key, const QString& value) {
    if (value.contains(QLatin1Char(';')) && error_.isEmpty())
        error_ = QStringLiteral("%1 cannot hold a ';' (in %2)").arg(text_, key);
    if (!connection_.isEmpty()) connection_ += QLatin1Char(' ');
    connection_ += key + QLatin1Char('=') + quoted(value);
}

// postgresql://[user@][host][:port][,host[:port]...][/database][?key=value&...]
void ArchiveLocation::parsePostgreSQL() {
    static const QRegularExpression uri(
        QStringLiteral(
            "^postgres(?:ql)?://(?:([^@/?#]*)@)?([^/?#]*)(?:/([^?#]*))?(?:\\?([^#]*))?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = uri.match(text_);
    if (!match.hasMatch()) {
        error_ = QStringLiteral(
                     "%1 is not a PostgreSQL URI of the form "
                     "postgresql://user@host:port/database")
                     .arg(text_);
        return;
    }
    const QString userInfo = match.captured(1);
    if (userInfo.contains(QLatin1Char(':'))) {
        error_ = QStringLiteral(
            "the archive location must not hold a password: libpq takes it "
            "from ~/.pgpass, PGPASSFILE or a service file");
        return;
    }
    user_ = decoded(userInfo);
    database_ = decoded(match.captured(3));

    QStringList hosts, ports;
    for (const QString& entry : match.captured(2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        qsizetype colon = entry.lastIndexOf(QLatin1Char(':'));
        if (entry.startsWith(QLatin1Char('[')))  // an IPv6 address, [::1]:5432
            colon = entry.indexOf(QStringLiteral("]:")) < 0
                        ? -1
                        : entry.indexOf(QStringLiteral("]:")) + 1;
        QString host = colon < 0 ? entry : entry.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        hosts << decoded(host);
        ports << (colon < 0 ? QString() : entry.mid(colon + 1));
    }
    if (!hosts.isEmpty()) addParameter(QStringLiteral("host"), hosts.join(QLatin1Char(',')));
    if (!ports.join(QString()).isEmpty())
        addParameter(QStringLiteral("port"), ports.join(QLatin1Char(',')));
    if (!database_.isEmpty()) addParameter(QStringLiteral("dbname"), database_);
    if (!user_.isEmpty()) addParameter(QStringLiteral("user"), user_);

    QStringList given;
    for (const QString& pair : match.captured(4).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QString key = decoded(pair.section(QLatin1Char('='), 0, 0));
        const QString value = decoded(pair.section(QLatin1Char('='), 1));
        if (key == QLatin1String("password")) {
            error_ = QStringLiteral(
                "the archive location must not hold a password: libpq takes "
                "it from ~/.pgpass, PGPASSFILE or a service file");
            return;
        }
        if (key == QLatin1String("user")) user_ = value;
        if (key == QLatin1String("dbname")) database_ = value;
        addParameter(key, value);
        given << key;
    }
    for (const auto& [key, value] : kDefaults)
        if (!given.contains(QLatin1String(key)))
            addParameter(QLatin1String(key), QLatin1String(value));
}

QString archiveLocation() {
    if (!overriddenLocation().isEmpty()) return overriddenLocation();
    const QString fromEnvironment = qEnvironmentVariable("QUORVAN_ARCHIVE");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QStringLiteral("archive.sqlite"));
}

void setArchiveLocation(const QString& location) {
    overriddenLocation() = location;
}

QString stationName() {
    const QString name = qEnvironmentVariable("QUORVAN_STATION_NAME").trimmed();
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}
