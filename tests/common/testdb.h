#pragma once

#include "store/database.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace quarl::test {

// Adds the column "engine" with the rows "sqlite" and "postgres" to a _data() function,
// so that one test body runs on both engines.
void addEngineRows();

// PostgreSQL cluster of the test command, from QUARL_TEST_PG
// ("host=... port=... user=... password=..."). Fails the calling test when unset.
bool postgresParams(PgParams *params, QString *why);

// The server drops the connection of db, as a restart or a stop does to every workstation;
// true once the server has let it go.
bool dropConnection(const Database &admin, const Database &db);

// An empty database of the given engine that disappears with this object:
// a file in a temporary folder, or a new database in the test cluster.
class TempDatabase
{
public:
    enum class Start { Empty, Company };
    // With Start::Company, a new company database (template schema, code masters, default
    // user): made once per test program and engine, then copied, for making one costs a
    // second and more under the sanitizers.
    explicit TempDatabase(const QString &engine, Start start = Start::Empty);
    ~TempDatabase();

    bool isOk() const { return m_ok; }
    const QString &error() const { return m_error; }
    Database &db() { return m_db; }
    Engine engine() const { return m_engine; }
    const QString &sqlitePath() const { return m_sqlitePath; }
    const PgParams &pgParams() const { return m_pg; }

    // Opens a second connection to the same database.
    Result<Database> reopen() const;

private:
    Engine m_engine = Engine::SQLite;
    bool m_ok = false;
    QString m_error;
    Database m_db;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_sqlitePath;
    PgParams m_pg;
};

// The demo installation (system database, demo company with its voyage, the template company,
// the settings) in the installation folder, as the installer makes it: a copy of one made
// once per test run, the paths in the settings made the folder's own.
Status installDemoHome();

// A temporary installation folder, set as the installation for as long as it lives.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

} // namespace quarl::test

// Opens a TempDatabase for the current "engine" row, or fails the test with the reason.
#define QUARL_TEMP_DB(var, engine)                                                           \
    quarl::test::TempDatabase var(engine);                                                   \
    QVERIFY2(var.isOk(), qPrintable(var.error()))

// A new company database (template schema, code masters, default user) on the engine.
#define QUARL_COMPANY_DB(var, engine)                                                        \
    quarl::test::TempDatabase var(engine, quarl::test::TempDatabase::Start::Company);       \
    QVERIFY2(var.isOk(), qPrintable(var.error()))
