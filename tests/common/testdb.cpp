#include "common/testdb.h"

#include "core/installation.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTest>
#include <QThread>
#include <memory>
#include <tuple>

namespace quarl::test {

void addEngineRows()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgres") << QStringLiteral("postgres");
}

bool dropConnection(const Database &admin, const Database &db)
{
    auto pid = db.scalar(QStringLiteral("select pg_backend_pid()"));
    if (!pid || !admin.exec(QStringLiteral("select pg_terminate_backend(?)"), {pid.value()}))
        return false;
    for (int i = 0; i < 500; ++i) {
        auto left = admin.scalar(QStringLiteral("select count(*) from pg_stat_activity where pid = ?"), {pid.value()});
        if (left && left->toInt() == 0)
            return true;
        QThread::msleep(10);
    }
    return false;
}

bool postgresParams(PgParams *params, QString *why)
{
    const QString conninfo = qEnvironmentVariable("QUARL_TEST_PG");
    if (conninfo.isEmpty()) {
        *why = QStringLiteral("QUARL_TEST_PG is not set: run the tests with scripts/test.sh, which starts PostgreSQL");
        return false;
    }
    params->database = QStringLiteral("postgres");
    for (const QString &pair : conninfo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString k = pair.section(QLatin1Char('='), 0, 0);
        const QString v = pair.section(QLatin1Char('='), 1);
        if (k == QLatin1String("host"))
            params->host = v;
        else if (k == QLatin1String("port"))
            params->port = v.toInt();
        else if (k == QLatin1String("user"))
            params->user = v;
        else if (k == QLatin1String("password"))
            params->password = v;
        else if (k == QLatin1String("dbname"))
            params->database = v;
    }
    return true;
}

namespace {
QString uniqueName()
{
    static QAtomicInt counter;
    return QStringLiteral("qt_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
}

QString failureText(const Status &s)
{
    return s.failure().numberAndText();
}

// The company database the tests copy, one per engine, made on first use. The test command
// names a folder (QUARL_TEST_CACHE) the test programs of one run share it through; without
// it each program makes its own.
struct CompanyTemplates
{
    std::unique_ptr<QTemporaryDir> dir;
    QString sqliteFile;
    QString pgDatabase;
    bool dropPgAtExit = false;
};

CompanyTemplates &templates()
{
    static CompanyTemplates t;
    return t;
}

QString cacheFolder()
{
    CompanyTemplates &t = templates();
    const QString shared = qEnvironmentVariable("QUARL_TEST_CACHE");
    if (!shared.isEmpty() && QDir().mkpath(shared))
        return shared;
    if (!t.dir)
        t.dir = std::make_unique<QTemporaryDir>();
    return t.dir->path();
}

void dropPgTemplate()
{
    PgParams admin;
    QString why;
    if (!templates().dropPgAtExit || !postgresParams(&admin, &why))
        return;
    if (auto maint = Database::openPostgres(admin))
        std::ignore = maint->exec(QStringLiteral("drop database if exists %1 with (force)").arg(templates().pgDatabase));
}

// A file of a new company, written whole by SQLite (no journal beside it).
QString sqliteTemplate(QString *why)
{
    CompanyTemplates &t = templates();
    if (!t.sqliteFile.isEmpty())
        return t.sqliteFile;
    const QDir folder(cacheFolder());
    QLockFile lock(folder.filePath(QStringLiteral("company.lock")));
    if (!lock.lock()) {
        *why = QStringLiteral("Cannot lock %1").arg(folder.filePath(QStringLiteral("company.lock")));
        return {};
    }
    const QString copy = folder.filePath(QStringLiteral("company.qdb"));
    if (!QFileInfo::exists(copy)) {
        const QString made = folder.filePath(QStringLiteral("made-%1.qdb").arg(QCoreApplication::applicationPid()));
        const QString part = copy + QStringLiteral(".part");
        QFile::remove(made);
        QFile::remove(part);
        {
            auto db = Database::openSqlite(made, true);
            if (!db) {
                *why = db.failure().numberAndText();
                return {};
            }
            if (Status s = Schema::createCompanyDatabase(db.value()); !s) {
                *why = failureText(s);
                return {};
            }
            if (Status s = db->exec(QStringLiteral("vacuum into ?"), {part}); !s) {
                *why = failureText(s);
                return {};
            }
        }
        for (const QString &f : {made, made + QStringLiteral("-wal"), made + QStringLiteral("-shm")})
            QFile::remove(f);
        if (!QFile::rename(part, copy)) {
            *why = QStringLiteral("Cannot rename %1").arg(part);
            return {};
        }
    }
    t.sqliteFile = copy;
    return copy;
}

QString pgTemplate(const Database &maint, PgParams params, QString *why)
{
    CompanyTemplates &t = templates();
    if (!t.pgDatabase.isEmpty())
        return t.pgDatabase;
    const QString folder = cacheFolder();
    QLockFile lock(QDir(folder).filePath(QStringLiteral("pgcompany.lock")));
    if (!lock.lock()) {
        *why = QStringLiteral("Cannot lock %1").arg(QDir(folder).filePath(QStringLiteral("pgcompany.lock")));
        return {};
    }
    const QString name = QStringLiteral("qt_company_%1").arg(qHash(folder), 0, 16);
    auto there = maint.scalar(QStringLiteral("select count(*) from pg_database where datname = ?"), {name});
    if (!there) {
        *why = there.failure().numberAndText();
        return {};
    }
    if (there->toInt() == 0) {
        params.database = name + QStringLiteral("_part");
        if (Status s = maint.exec(QStringLiteral("drop database if exists %1 with (force)").arg(params.database)); !s) {
            *why = failureText(s);
            return {};
        }
        if (Status s = maint.exec(QStringLiteral("create database %1 template template0 encoding 'UTF8'").arg(params.database)); !s) {
            *why = failureText(s);
            return {};
        }
        {
            auto db = Database::openPostgres(params);
            if (!db) {
                *why = db.failure().numberAndText();
                return {};
            }
            if (Status s = Schema::createCompanyDatabase(db.value()); !s) {
                *why = failureText(s);
                return {};
            }
        } // no connection may stay open on a database renamed or copied from
        if (Status s = maint.exec(QStringLiteral("alter database %1 rename to %2").arg(params.database, name)); !s) {
            *why = failureText(s);
            return {};
        }
        if (qEnvironmentVariable("QUARL_TEST_CACHE").isEmpty()) {
            t.dropPgAtExit = true;
            qAddPostRoutine(dropPgTemplate);
        }
    }
    t.pgDatabase = name;
    return name;
}
} // namespace

TempDatabase::TempDatabase(const QString &engine, Start start)
{
    if (engine == QLatin1String("postgres")) {
        m_engine = Engine::PostgreSQL;
        PgParams admin;
        if (!postgresParams(&admin, &m_error))
            return;
        auto maint = Database::openPostgres(admin);
        if (!maint) {
            m_error = QStringLiteral("PostgreSQL test cluster unreachable: ") + maint.failure().numberAndText();
            return;
        }
        QString from = QStringLiteral("template0");
        if (start == Start::Company) {
            from = pgTemplate(maint.value(), admin, &m_error);
            if (from.isEmpty())
                return;
        }
        const QString name = uniqueName();
        if (Status s = maint->exec(QStringLiteral("create database %1 template %2 encoding 'UTF8'").arg(name, from)); !s) {
            m_error = s.failure().numberAndText();
            return;
        }
        m_pg = admin;
        m_pg.database = name;
        auto db = Database::openPostgres(m_pg);
        if (!db) {
            m_error = db.failure().numberAndText();
            return;
        }
        m_db = db.value();
    } else {
        m_dir = std::make_unique<QTemporaryDir>();
        m_sqlitePath = m_dir->filePath(QStringLiteral("test.qdb"));
        if (start == Start::Company) {
            const QString from = sqliteTemplate(&m_error);
            if (from.isEmpty())
                return;
            if (!QFile::copy(from, m_sqlitePath)) {
                m_error = QStringLiteral("Cannot copy the company database %1 to %2").arg(from, m_sqlitePath);
                return;
            }
            QFile::setPermissions(m_sqlitePath, QFile::ReadOwner | QFile::WriteOwner);
        }
        auto db = Database::openSqlite(m_sqlitePath, true);
        if (!db) {
            m_error = db.failure().numberAndText();
            return;
        }
        m_db = db.value();
    }
    m_ok = true;
}

TempDatabase::~TempDatabase()
{
    m_db.close();
    if (m_engine == Engine::PostgreSQL && m_ok) {
        PgParams admin;
        QString why;
        if (postgresParams(&admin, &why)) {
            if (auto maint = Database::openPostgres(admin))
                std::ignore = maint->exec(QStringLiteral("drop database if exists %1 with (force)").arg(m_pg.database));
        }
    }
}

Result<Database> TempDatabase::reopen() const
{
    if (m_engine == Engine::PostgreSQL)
        return Database::openPostgres(m_pg);
    return Database::openSqlite(m_sqlitePath);
}

Status installDemoHome()
{
    const QString target = Installation::folder();
    const QDir cache(cacheFolder());
    const QString made = cache.filePath(QStringLiteral("demohome"));
    const QString madeIn = cache.filePath(QStringLiteral("demohome.path"));
    {
        QLockFile lock(cache.filePath(QStringLiteral("demohome.lock")));
        if (!lock.lock())
            return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot lock %1").arg(cache.filePath(QStringLiteral("demohome.lock"))));
        if (!QFileInfo::exists(madeIn)) {
            QDir(made).removeRecursively();
            Installation::setOverride(made);
            auto report = Installer::initHome(true);
            Installation::setOverride(target);
            if (!report)
                return report.failure();
            QFile path(madeIn);
            if (!path.open(QIODevice::WriteOnly) || path.write(QDir(made).absolutePath().toUtf8()) < 0 || !path.flush())
                return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot write %1").arg(madeIn));
        }
    }
    QFile path(madeIn);
    if (!path.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot read %1").arg(madeIn));
    const QByteArray from = path.readAll();
    const QByteArray to = QDir(target).absolutePath().toUtf8();
    if (!QDir().mkpath(target))
        return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot make %1").arg(target));
    for (const QFileInfo &f : QDir(made).entryInfoList(QDir::Files)) {
        const QString dest = QDir(target).filePath(f.fileName());
        if (f.suffix().compare(QLatin1String("ini"), Qt::CaseInsensitive) == 0) {
            QFile in(f.filePath());
            QFile out(dest);
            if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)
                || out.write(in.readAll().replace(from, to)) < 0 || !out.flush())
                return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot copy %1").arg(f.filePath()));
            out.setPermissions(f.permissions());
        } else if (!QFile::copy(f.filePath(), dest)) {
            return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot copy %1").arg(f.filePath()));
        }
    }
    return Status::ok();
}

TempHome::TempHome()
{
    Installation::setOverride(m_dir.path());
}

TempHome::~TempHome()
{
    Installation::setOverride(QString());
}

} // namespace quarl::test
