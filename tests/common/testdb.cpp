#include "common/testdb.h"

#include "core/installation.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QTest>
#include <QThread>
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
} // namespace

TempDatabase::TempDatabase(const QString &engine)
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
        const QString name = uniqueName();
        if (Status s = maint->exec(QStringLiteral("create database %1 template template0 encoding 'UTF8'").arg(name)); !s) {
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

TempHome::TempHome()
{
    Installation::setOverride(m_dir.path());
}

TempHome::~TempHome()
{
    Installation::setOverride(QString());
}

} // namespace quarl::test
