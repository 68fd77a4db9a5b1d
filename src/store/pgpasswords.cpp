#include "store/pgpasswords.h"

#include "core/safefile.h"
#include "core/secretstore.h"

#include <QDir>
#include <QFile>

namespace quarl::PgPasswords {

namespace {

SecretStore::Attributes attributesOf(const PgParams &params)
{
    return {{QStringLiteral("kind"), QStringLiteral("postgresql")},
            {QStringLiteral("host"), params.host},
            {QStringLiteral("port"), QString::number(params.port)},
            {QStringLiteral("database"), params.database},
            {QStringLiteral("user"), params.user}};
}

// The first four fields of a password-file line, unescaped; nullopt for a comment, a
// blank line or one with fewer fields.
std::optional<QStringList> keyFields(const QString &line)
{
    if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
        return std::nullopt;
    QStringList fields(1);
    for (qsizetype i = 0; i < line.size() && fields.size() <= 4; ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size())
            fields.last() += line.at(++i);
        else if (c == QLatin1Char(':'))
            fields.append(QString());
        else
            fields.last() += c;
    }
    if (fields.size() < 5)
        return std::nullopt;
    return fields.mid(0, 4);
}

} // namespace

QString passFilePath()
{
    const QString env = qEnvironmentVariable("PGPASSFILE");
    if (!env.isEmpty())
        return env;
    return QDir::home().filePath(QStringLiteral(".pgpass"));
}

QString escaped(const QString &field)
{
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        if (c == QLatin1Char(':') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString passFileLine(const PgParams &params)
{
    return QStringList{escaped(params.host), QString::number(params.port), escaped(params.database),
                       escaped(params.user), escaped(params.password)}
        .join(QLatin1Char(':'));
}

Status writePassFile(const PgParams &params, const QString &path)
{
    if (params.password.contains(QLatin1Char('\n')) || params.password.contains(QLatin1Char('\r')))
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("A password with a line break cannot go into the password file %1.").arg(path));
    QByteArray text;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return Failure(ErrorNumber::PathFileAccess,
                           QStringLiteral("Cannot read the password file %1: %2.").arg(path, existing.errorString()));
        text = existing.readAll();
        existing.close();
    }
    const QStringList key{params.host, QString::number(params.port), params.database, params.user};
    QByteArray out;
    bool replaced = false;
    const QByteArray mine = passFileLine(params).toUtf8();
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (i == lines.size() - 1 && line.isEmpty())
            break; // the end of the last line
        if (keyFields(QString::fromUtf8(line)) == key) {
            if (replaced)
                continue;
            out += mine + '\n';
            replaced = true;
        } else {
            out += line + '\n';
        }
    }
    if (!replaced)
        out += mine + '\n';
    SafeFile file(path, SafeFile::Existing::Replace, SafeFile::Rights::OwnerOnly);
    if (Status s = file.open(); !s)
        return s;
    if (Status s = file.write(out); !s)
        return s;
    return file.commit();
}

Status keep(const PgParams &params, QString *where)
{
    if (params.password.isEmpty())
        return Status::ok();
    if (SecretStore *secrets = SecretStore::current()) {
        const QString label = QStringLiteral("Quarl: PostgreSQL %1@%2:%3/%4")
                                  .arg(params.user, params.host)
                                  .arg(params.port)
                                  .arg(params.database);
        if (Status s = secrets->store(attributesOf(params), label, params.password); s) {
            if (where)
                *where = secrets->name();
            return s;
        }
        // a service that refuses leaves the password file as the store
    }
    if (where)
        *where = passFilePath();
    return writePassFile(params);
}

QString storeName()
{
    if (SecretStore *secrets = SecretStore::current())
        return secrets->name();
    return passFilePath();
}

std::optional<QString> lookup(const PgParams &params)
{
    if (SecretStore *secrets = SecretStore::current())
        return secrets->lookup(attributesOf(params));
    return std::nullopt;
}

} // namespace quarl::PgPasswords
