// Times the five upgrade commands on an older company database with many bills of lading.
// usage: bench_patches [ROWS]   (default 200000; SQLite, and PostgreSQL too when
// QUARL_TEST_PG="host=... port=... user=..." names a cluster)

#include "store/database.h"
#include "store/patches.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTextStream>
#include <tuple>

using namespace quarl;

namespace {

QTextStream out(stdout);

bool check(const Status &s, const char *what)
{
    if (!s)
        out << what << ": " << s.failure().numberAndText() << Qt::endl;
    return s.isOk();
}

bool fill(const Database &db, int rows)
{
    Schema::CompanyOptions legacy;
    legacy.legacy = true;
    if (!check(Schema::createCompanyDatabase(db, legacy), "create"))
        return false;
    Transaction tx(db);
    QSqlQuery cargo(db.handle());
    QSqlQuery contain(db.handle());
    cargo.prepare(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, impname, gdesc, pkgs, grosswt) "
                                 "values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?)"));
    contain.prepare(QStringLiteral("insert into contain (ref, containno, conwt) values (?, ?, ?)"));
    for (int i = 1; i <= rows; ++i) {
        cargo.addBindValue(i);
        cargo.addBindValue(QStringLiteral("V%1").arg(i / 5000));
        cargo.addBindValue(QStringLiteral("%1E").arg(i / 500));
        cargo.addBindValue(i % 500 + 1);
        cargo.addBindValue(QStringLiteral("BL%1").arg(i, 8, 10, QLatin1Char('0')));
        cargo.addBindValue(QStringLiteral("Importer %1 Private Limited").arg(i));
        cargo.addBindValue(QStringLiteral("General cargo in cartons, said to contain goods of line %1").arg(i));
        cargo.addBindValue(i % 90 + 1);
        cargo.addBindValue(i * 1.5);
        if (!cargo.exec())
            return check(Database::failureOf(cargo.lastError()), "cargo");
        contain.addBindValue(i);
        contain.addBindValue(QStringLiteral("ABCU%1").arg(i % 10000000, 7, 10, QLatin1Char('0')));
        contain.addBindValue(12.5);
        if (!contain.exec())
            return check(Database::failureOf(contain.lastError()), "contain");
    }
    return check(tx.commit(), "commit");
}

void runAll(const Database &db, const QString &engine, int rows)
{
    QElapsedTimer t;
    t.start();
    if (!fill(db, rows))
        return;
    out << engine << ": " << rows << " bills of lading filled in " << t.elapsed() << " ms" << Qt::endl;
    for (const PatchInfo &p : Patches::all()) {
        t.restart();
        const PatchResult r = Patches::run(p.id, db);
        out << "  " << qSetFieldWidth(20) << Qt::left << p.name << qSetFieldWidth(0) << qSetFieldWidth(8) << Qt::right
            << t.elapsed() << qSetFieldWidth(0) << " ms  " << (r.message.isEmpty() ? QStringLiteral("(nothing shown)") : r.message)
            << Qt::endl;
    }
    auto n = db.scalar(QStringLiteral("select count(*) from cargo"));
    out << "  rows after: " << (n ? n->toLongLong() : -1) << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;

    QTemporaryDir dir;
    {
        auto db = Database::openSqlite(dir.filePath(QStringLiteral("bench.qdb")), true);
        if (!check(db.status(), "sqlite"))
            return 1;
        runAll(db.value(), QStringLiteral("SQLite"), rows);
    }

    const QString conninfo = qEnvironmentVariable("QUARL_TEST_PG");
    if (conninfo.isEmpty())
        return 0;
    PgParams admin;
    admin.database = QStringLiteral("postgres");
    for (const QString &pair : conninfo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString k = pair.section(QLatin1Char('='), 0, 0);
        const QString v = pair.section(QLatin1Char('='), 1);
        if (k == QLatin1String("host"))
            admin.host = v;
        else if (k == QLatin1String("port"))
            admin.port = v.toInt();
        else if (k == QLatin1String("user"))
            admin.user = v;
        else if (k == QLatin1String("password"))
            admin.password = v;
    }
    auto maint = Database::openPostgres(admin);
    if (!check(maint.status(), "postgres"))
        return 1;
    const QString name = QStringLiteral("bench_patches_%1").arg(QCoreApplication::applicationPid());
    if (!check(maint->exec(QStringLiteral("create database %1 template template0 encoding 'UTF8'").arg(name)), "create database"))
        return 1;
    {
        PgParams params = admin;
        params.database = name;
        auto db = Database::openPostgres(params);
        if (check(db.status(), "postgres"))
            runAll(db.value(), QStringLiteral("PostgreSQL"), rows);
    }
    std::ignore = maint->exec(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    return 0;
}
