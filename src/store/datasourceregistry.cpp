#include "store/datasourceregistry.h"

#include "core/inifile.h"
#include "core/installation.h"
#include "store/pgpasswords.h"

#include <QFile>
#include <QFileInfo>

namespace quarl {

namespace {
const QString DriverKey = QStringLiteral("Driver");
const QString SqliteDriver = QStringLiteral("SQLite");
const QString PostgresDriver = QStringLiteral("PostgreSQL");
const QString PasswordKey = QStringLiteral("Password");
const QString SslModeKey = QStringLiteral("SslMode");
const QString SslRootCertKey = QStringLiteral("SslRootCert");
} // namespace

DataSourceRegistry::DataSourceRegistry()
    : m_path(Installation::filePath(QLatin1String(Installation::RegistryFileName)))
{
}

DataSourceRegistry::DataSourceRegistry(QString path) : m_path(std::move(path)) {}

Status DataSourceRegistry::checkName(const QString &name) const
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("A data source needs a name."));
    for (const QChar c : n) {
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('=') || c == QLatin1Char(';')
            || c.category() == QChar::Other_Control)
            return Failure(ErrorNumber::InvalidArgument,
                           QStringLiteral("The data source name \"%1\" may not hold [ ] = ; or control characters.").arg(n));
    }
    return Status::ok();
}

Status DataSourceRegistry::registerFile(const QString &name, const QString &file)
{
    if (Status s = checkName(name); !s)
        return s;
    IniFile ini = IniFile::load(m_path);
    const QString n = name.trimmed();
    ini.removeSection(n);
    ini.setValue(n, DriverKey, SqliteDriver);
    ini.setValue(n, QStringLiteral("File"), QFileInfo(file).absoluteFilePath());
    return ini.save(m_path);
}

Status DataSourceRegistry::registerPostgres(const QString &name, const PgParams &params)
{
    if (Status s = checkName(name); !s)
        return s;
    if (!PgParams::isSslMode(params.sslMode))
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("\"%1\" is no TLS mode: use disable, require, verify-ca or verify-full.").arg(params.sslMode));
    // The password goes where the client library (or the desktop's keyring) keeps it; this
    // file only names the database.
    if (Status s = PgPasswords::keep(params); !s)
        return s;
    IniFile ini = read();
    const QString n = name.trimmed();
    ini.removeSection(n);
    ini.setValue(n, DriverKey, PostgresDriver);
    ini.setValue(n, QStringLiteral("Host"), params.host);
    ini.setValue(n, QStringLiteral("Port"), QString::number(params.port));
    ini.setValue(n, QStringLiteral("Database"), params.database);
    ini.setValue(n, QStringLiteral("User"), params.user);
    if (!params.sslMode.isEmpty())
        ini.setValue(n, SslModeKey, params.sslMode);
    if (!params.sslRootCert.isEmpty())
        ini.setValue(n, SslRootCertKey, QFileInfo(params.sslRootCert).absoluteFilePath());
    return ini.save(m_path);
}

IniFile DataSourceRegistry::read() const
{
    IniFile ini = IniFile::load(m_path);
    // Older releases kept a PostgreSQL password here (key Password): it moves to the
    // password store, and only once it is kept there does it leave this file.
    bool changed = false;
    for (const QString &section : ini.sections()) {
        const auto password = ini.value(section, PasswordKey);
        if (!password
            || ini.value(section, DriverKey).value_or(QString()).trimmed().compare(PostgresDriver, Qt::CaseInsensitive) != 0)
            continue;
        if (!password->isEmpty()) {
            PgParams p = paramsOf(ini, section);
            p.password = *password;
            if (Status s = PgPasswords::keep(p); !s) {
                qWarning("The password of the data source %s stays in %s: %s", qPrintable(section), qPrintable(m_path),
                         qPrintable(s.failure().description));
                continue;
            }
        }
        ini.removeKey(section, PasswordKey);
        changed = true;
    }
    if (changed) {
        if (Status s = ini.save(m_path); !s)
            qWarning("%s", qPrintable(s.failure().numberAndText()));
    }
    return ini;
}

PgParams DataSourceRegistry::paramsOf(const IniFile &ini, const QString &section)
{
    auto get = [&](const QString &key) { return ini.value(section, key).value_or(QString()).trimmed(); };
    PgParams pg;
    pg.host = get(QStringLiteral("Host"));
    pg.port = get(QStringLiteral("Port")).toInt();
    if (pg.port <= 0)
        pg.port = 5432;
    pg.database = get(QStringLiteral("Database"));
    pg.user = get(QStringLiteral("User"));
    pg.sslMode = get(SslModeKey).toLower();
    pg.sslRootCert = get(SslRootCertKey);
    return pg;
}

Status DataSourceRegistry::remove(const QString &name)
{
    IniFile ini = read();
    if (!ini.removeSection(name.trimmed()))
        return Failure(ErrorNumber::DataSourceNotFound, QStringLiteral("Data source name \"%1\" not found.").arg(name));
    return ini.save(m_path);
}

std::optional<DataSource> DataSourceRegistry::find(const QString &name) const
{
    const IniFile ini = read();
    const QString n = name.trimmed();
    const auto driver = ini.value(n, DriverKey);
    if (!driver)
        return std::nullopt;
    DataSource ds;
    for (const QString &s : ini.sections()) {
        if (s.compare(n, Qt::CaseInsensitive) == 0) {
            ds.name = s;
            break;
        }
    }
    auto get = [&](const char *key) { return ini.value(n, QLatin1String(key)).value_or(QString()).trimmed(); };
    if (driver->trimmed().compare(PostgresDriver, Qt::CaseInsensitive) == 0) {
        ds.engine = Engine::PostgreSQL;
        ds.pg = paramsOf(ini, n);
    } else {
        ds.engine = Engine::SQLite;
        ds.file = get("File");
        // The company register keeps a typed data-file name as it is, trailing blanks too.
        QString exact = ini.value(n, QStringLiteral("File")).value_or(QString());
        while (!exact.isEmpty() && exact.front().isSpace())
            exact.remove(0, 1);
        if (exact != ds.file && QFileInfo::exists(exact))
            ds.file = exact;
    }
    return ds;
}

QStringList DataSourceRegistry::names() const
{
    return read().sections();
}

QString DataSourceRegistry::nameFromConnectionText(const QString &connectionText)
{
    // "DSN=name" possibly followed by further ";key=value" pairs
    QString text = connectionText.trimmed();
    for (const QString &part : text.split(QLatin1Char(';'))) {
        const QString p = part.trimmed();
        if (p.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive))
            return p.mid(4).trimmed();
    }
    return text.contains(QLatin1Char('=')) ? QString() : text;
}

Result<PgParams> DataSourceRegistry::parsePostgres(const QString &text)
{
    PgParams p;
    p.host.clear();
    bool portGiven = false;
    const auto bad = [](const QString &why) { return Failure(ErrorNumber::InvalidArgument, why); };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && text.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            return bad(QStringLiteral("\"%1\" is not of the form key=value.").arg(text.mid(i).trimmed()));
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < n && text.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && text.at(i) == QLatin1Char('\'')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = text.at(i++);
                if (c == QLatin1Char('\\') && i < n) {
                    value += text.at(i++);
                } else if (c == QLatin1Char('\'')) {
                    closed = true;
                    break;
                } else {
                    value += c;
                }
            }
            if (!closed)
                return bad(QStringLiteral("The quoted value of %1 is not closed.").arg(key));
        } else {
            while (i < n && !text.at(i).isSpace())
                value += text.at(i++);
        }
        if (key == QLatin1String("host") || key == QLatin1String("hostaddr")) {
            p.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            p.port = value.toInt(&ok);
            if (!ok || p.port <= 0 || p.port > 65535)
                return bad(QStringLiteral("The port \"%1\" is not a port number.").arg(value));
            portGiven = true;
        } else if (key == QLatin1String("dbname")) {
            p.database = value;
        } else if (key == QLatin1String("user")) {
            p.user = value;
        } else if (key == QLatin1String("sslmode")) {
            if (!PgParams::isSslMode(value.toLower()))
                return bad(QStringLiteral("\"%1\" is no TLS mode: use disable, require, verify-ca or verify-full.").arg(value));
            p.sslMode = value.toLower();
        } else if (key == QLatin1String("sslrootcert")) {
            p.sslRootCert = value;
        } else if (key == QLatin1String("password")) {
            return bad(QStringLiteral("Do not put the password on the command line: set QUARL_PG_PASSWORD (or PGPASSWORD), "
                                      "give --password-file FILE, or keep it in ~/.pgpass."));
        } else {
            return bad(QStringLiteral("Unknown connection key \"%1\": use host, port, dbname, user, sslmode and sslrootcert.").arg(key));
        }
    }
    if (p.host.isEmpty())
        p.host = QStringLiteral("localhost");
    if (!portGiven)
        p.port = 5432;
    if (p.database.isEmpty() || p.user.isEmpty())
        return bad(QStringLiteral("Give at least dbname=... and user=... of the PostgreSQL database."));
    return p;
}

QString DataSourceRegistry::describePostgres(const PgParams &params)
{
    auto quoted = [](const QString &v) {
        if (!v.isEmpty() && !v.contains(QLatin1Char(' ')) && !v.contains(QLatin1Char('\'')) && !v.contains(QLatin1Char('\\')))
            return v;
        QString q = v;
        q.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
        return QLatin1Char('\'') + q + QLatin1Char('\'');
    };
    QString text = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
                       .arg(quoted(params.host))
                       .arg(params.port)
                       .arg(quoted(params.database), quoted(params.user));
    if (!params.sslMode.isEmpty())
        text += QStringLiteral(" sslmode=") + params.sslMode;
    if (!params.sslRootCert.isEmpty())
        text += QStringLiteral(" sslrootcert=") + quoted(params.sslRootCert);
    return text;
}

Result<Database> DataSourceRegistry::open(const QString &connectionText) const
{
    const QString name = nameFromConnectionText(connectionText);
    const auto ds = name.isEmpty() ? std::nullopt : find(name);
    if (!ds)
        return Failure(ErrorNumber::DataSourceNotFound,
                       QStringLiteral("[Quarl] Data source name \"%1\" not found and no default driver specified").arg(name));
    if (ds->engine == Engine::PostgreSQL) {
        PgParams pg = ds->pg;
        // Without one from the keyring the client library reads its password file.
        pg.password = PgPasswords::lookup(pg).value_or(QString());
        return Database::openPostgres(pg);
    }
    return Database::openSqlite(ds->file);
}

} // namespace quarl
