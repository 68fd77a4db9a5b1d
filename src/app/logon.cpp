#include "app/logon.h"

#include "core/installation.h"
#include "core/numericvalue.h"
#include "core/secretstore.h"
#include "core/settings.h"
#include "store/datasourceregistry.h"
#include "store/passwordhash.h"
#include "store/schema.h"
#include "store/session.h"

#include <QFileInfo>
#include <QSqlRecord>

#include <utility>
#include <tuple>

namespace quarl {

namespace {
QString text(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString();
}

QString trimmedRight(const QString &s)
{
    int end = int(s.size());
    while (end > 0 && s.at(end - 1).isSpace())
        --end;
    return s.left(end);
}

SecretStore::Attributes logonSecret(const QString &userId)
{
    return {{QStringLiteral("kind"), QStringLiteral("logon")},
            {QStringLiteral("folder"), Installation::folder()},
            {QStringLiteral("user"), userId.trimmed().toUpper()}};
}

// The number of "no current record": an empty register has no first row to move to.
constexpr int NoSuchRecord = 3021;
} // namespace

Logon::Logon(QString systemDatabasePath) : m_systemDatabasePath(std::move(systemDatabasePath)) {}

Result<Database> Logon::openRegister() const
{
    if (m_systemDatabasePath.trimmed().isEmpty())
        return Failure(ErrorNumber::FileNotFound,
                       QStringLiteral("The system database is not set (SYSTEM SYSPATH in Quarl.ini is empty)."));
    return Database::openSqlite(m_systemDatabasePath);
}

Result<QList<CompanyEntry>> Logon::readRegister() const
{
    auto db = openRegister();
    if (!db)
        return db.failure();
    // The system database is SQLite; rowid is the order in which the rows were stored.
    auto q = db->query(QStringLiteral("select name, dirname from DRCOMP order by rowid"));
    if (!q)
        return q.failure();
    QList<CompanyEntry> rows;
    while (q->next())
        rows.append({text(q->value(0)), text(q->value(1))});
    return rows;
}

Result<std::optional<CompanyEntry>> Logon::findCompany(const QString &name) const
{
    auto rows = readRegister();
    if (!rows)
        return rows.failure();
    if (rows->isEmpty())
        return Failure(NoSuchRecord, QStringLiteral("No current record: the company register %1 holds no company.")
                                         .arg(m_systemDatabasePath));
    if (name.isEmpty())
        return std::optional<CompanyEntry>();
    for (const CompanyEntry &row : *rows) {
        if (row.name.compare(name, Qt::CaseInsensitive) == 0)
            return std::optional<CompanyEntry>(row);
    }
    return std::optional<CompanyEntry>();
}

Status Logon::openConnection(const QString &dataSource)
{
    m_connection = Database();
    auto db = DataSourceRegistry().open(dataSource);
    if (!db)
        return db.failure();
    m_connection = db.value();
    return Status::ok();
}

Result<std::optional<LogonUser>> Logon::checkUser(const QString &userId, const QString &password) const
{
    auto q = m_connection.query(QStringLiteral("select * from loguser where UID = ?"), {userId});
    if (!q)
        return q.failure();
    QSqlRecord rec;
    bool found = false;
    while (!found && q->next()) {
        const QVariant stored = q->record().value(QStringLiteral("pwd"));
        found = !stored.isNull() && PasswordHash::matches(password, stored.toString());
        if (found)
            rec = q->record();
    }
    q->finish();
    if (!found)
        return std::optional<LogonUser>();
    const QString stored = rec.value(QStringLiteral("pwd")).toString();
    if (!PasswordHash::isHash(stored)) {
        // A password from before hashing: from now on only its hash is kept. Should the
        // database refuse the write, the logon goes on and the next one tries again.
        const QString hash = PasswordHash::make(password);
        if (!hash.isEmpty())
            // Best effort: a password left plain is hashed at the next logon.
            std::ignore = m_connection.exec(QStringLiteral("update loguser set pwd = ? where uid = ? and pwd = ?"),
                                            {hash, rec.value(QStringLiteral("uid")), stored});
    }
    LogonUser user;
    user.userId = text(rec.value(QStringLiteral("uid"))).trimmed();
    user.userRights = text(rec.value(QStringLiteral("urights")));
    user.menuRights = text(rec.value(QStringLiteral("mrights")));
    return std::optional<LogonUser>(user);
}

bool Logon::lacksUserTable(const Failure &failure) const
{
    return failure.description.contains(QLatin1String("loguser")) && m_connection.isValid()
           && !m_connection.hasTable(QStringLiteral("loguser"));
}

Status Logon::createDefaultUserTable() const
{
    Transaction tx(m_connection);
    if (!tx.started())
        return tx.started();
    if (Status s = m_connection.exec(QLatin1String(Schema::CreateUserTable)); !s)
        return s;
    if (Status s = Schema::insertDefaultUser(m_connection); !s)
        return s;
    return tx.commit();
}

Status Logon::registerDataFile(const QString &file)
{
    const QString path = trimmedRight(file);
    const QString name = trimmedRight(QFileInfo(path).fileName());
    if (!QFileInfo(path).isFile())
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (!Settings::sysPath().isEmpty() && QFileInfo(path).canonicalFilePath() == QFileInfo(Settings::sysPath()).canonicalFilePath())
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("%1 is the installation's list of companies, not a company's data file.").arg(name));
    return DataSourceRegistry().registerFile(name, path);
}

void Logon::complete(const CompanyEntry &company, const LogonUser &user, bool savePassword,
                     const QString &typedUserId, const QString &typedPassword, int companyIndex)
{
    Session &s = Session::current();
    s.connection = std::exchange(m_connection, Database());
    s.userId = user.userId;
    s.userRights = user.userRights;
    s.menuRights = user.menuRights;
    s.companyName = company.name;
    s.dataSource = company.dataSource;
    s.systemDatabasePath = m_systemDatabasePath;
    s.serial = Session::nextSerial();

    // A single blank reads back as empty, so the box starts unticked next time. The
    // password itself goes to the desktop's keyring, never into Quarl.ini: without a
    // keyring the next start fills in the user id only.
    const QString previousUserId = Settings::savedUserId();
    Settings::setSavedUserId(savePassword ? typedUserId : QStringLiteral(" "));
    Settings::setSavedPassword(QStringLiteral(" "));
    if (SecretStore *secrets = SecretStore::current()) {
        if (!previousUserId.isEmpty() && (!savePassword || previousUserId.compare(typedUserId, Qt::CaseInsensitive) != 0))
            std::ignore = secrets->clear(logonSecret(previousUserId)); // best effort: a stale one is never filled in
        if (savePassword)
            std::ignore = secrets->store(logonSecret(typedUserId),
                                         QStringLiteral("Quarl logon: %1").arg(typedUserId.trimmed()), typedPassword);
    }
    Settings::setCompanyIndexText(companyIndexText(companyIndex));
}

QString Logon::savedPassword(const QString &userId)
{
    SecretStore *secrets = SecretStore::current();
    const QString old = Settings::savedPassword();
    if (!old.isEmpty()) {
        // An older release kept it here, as typed.
        bool moved = secrets == nullptr || userId.isEmpty();
        if (!moved)
            moved = secrets->store(logonSecret(userId), QStringLiteral("Quarl logon: %1").arg(userId.trimmed()), old).isOk();
        if (moved)
            Settings::setSavedPassword(QStringLiteral(" "));
    }
    if (!secrets || userId.isEmpty())
        return QString();
    return secrets->lookup(logonSecret(userId)).value_or(QString());
}

int Logon::rememberedCompanyIndex(const QString &settingText, int count)
{
    const int value = wholeNumberValue(settingText);
    if (numericValue(settingText) < 0)
        return -1;
    if (value < count)
        return value;
    return count > 0 ? 0 : -1;
}

QString Logon::companyIndexText(int index)
{
    return index >= 0 ? QLatin1Char(' ') + QString::number(index) : QStringLiteral("-1");
}

} // namespace quarl
