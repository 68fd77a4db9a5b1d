#include "common/testdb.h"
#include "common/testmain.h"

#include "store/datasourceregistry.h"
#include "store/patches.h"
#include "store/schema.h"
#include "store/tablechanges.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using Outcome = PatchResult::Outcome;

Q_DECLARE_METATYPE(quarl::PatchResult::Outcome)

namespace {

// The company database as older releases made it.
#define LEGACY_DB(var, engine)                                                                  \
    QUARL_TEMP_DB(var, engine);                                                                 \
    do {                                                                                        \
        Schema::CompanyOptions legacy_;                                                         \
        legacy_.legacy = true;                                                                  \
        const Status made_ = Schema::createCompanyDatabase(var.db(), legacy_);                  \
        QVERIFY2(made_.isOk(), qPrintable(made_.failure().numberAndText()));                   \
    } while (false)

#define VERIFY_OK(status)                                                                       \
    do {                                                                                        \
        const quarl::Status s_ = (status);                                                      \
        QVERIFY2(s_.isOk(), qPrintable(s_.failure().numberAndText()));                         \
    } while (false)

qint64 count(const Database &db, const QString &sql, const QVariantList &binds = {})
{
    auto v = db.scalar(sql, binds);
    if (!v)
        qWarning("%s: %s", qPrintable(sql), qPrintable(v.failure().numberAndText()));
    return v ? v->toLongLong() : -1;
}

QStringList cargoColumns(const Database &db)
{
    QStringList names;
    auto q = db.query(QStringLiteral("select * from cargo where 1 = 0"));
    if (q) {
        const QSqlRecord rec = q->record();
        for (int i = 0; i < rec.count(); ++i)
            names << rec.fieldName(i).toLower();
    }
    return names;
}

// Column names with their declared types as the engine reports them.
QStringList columnTypes(const Database &db, const QString &table)
{
    const QString sql = db.engine() == Engine::PostgreSQL
                            ? QStringLiteral("select column_name || ' ' || data_type || ' ' || "
                                             "coalesce(character_maximum_length::text, '') "
                                             "from information_schema.columns where table_schema = current_schema() "
                                             "and table_name = lower(?) order by ordinal_position")
                            : QStringLiteral("select lower(name) || ' ' || type from pragma_table_info(?) order by cid");
    QStringList out;
    auto q = db.query(sql, {table});
    while (q && q->next())
        out << q->value(0).toString();
    return out;
}

// The index definitions of a table; constraint indexes of SQLite show by name.
QStringList indexes(const Database &db, const QString &table)
{
    const QString sql = db.engine() == Engine::PostgreSQL
                            ? QStringLiteral("select indexdef from pg_indexes where schemaname = current_schema() "
                                             "and tablename = lower(?) order by indexname")
                            : QStringLiteral("select coalesce(sql, name) from sqlite_master where type = 'index' "
                                             "and lower(tbl_name) = lower(?) order by name");
    QStringList out;
    auto q = db.query(sql, {table});
    while (q && q->next())
        out << q->value(0).toString();
    return out;
}

QList<QVariantList> allRows(const Database &db, const QString &sql, int columns)
{
    QList<QVariantList> rows;
    auto q = db.query(sql);
    while (q && q->next()) {
        QVariantList row;
        for (int i = 0; i < columns; ++i)
            row << q->value(i);
        rows << row;
    }
    return rows;
}

Status insertCargo(const Database &db, int id, const QString &vessel, const QString &voyage, const QString &bl)
{
    return db.exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (?, ?, ?, ?)"),
                   {id, vessel, voyage, bl});
}

// Fills D_PORT_CD with made-up codes Z00001... up to total rows.
Status padPorts(const Database &db, qint64 total)
{
    auto have = db.scalar(QStringLiteral("select count(*) from d_port_cd"));
    if (!have)
        return have.failure();
    const qint64 n = total - have->toLongLong();
    if (n <= 0)
        return Status::ok();
    const QString sql = db.engine() == Engine::PostgreSQL
                            ? QStringLiteral("insert into d_port_cd select 'Z' || lpad(g::text, 5, '0'), 'Made Up' "
                                             "from generate_series(1, ?) g")
                            : QStringLiteral("with recursive g(n) as (select 1 union all select n + 1 from g where n < ?) "
                                             "insert into d_port_cd select 'Z' || substr('0000' || n, -5), 'Made Up' from g");
    return db.exec(sql, {n});
}

// An empty port master alone, for the name correction.
Status portTableOnly(const Database &db)
{
    return db.exec(Schema::createTableSql(*Schema::table(QStringLiteral("D_PORT_CD")), db.dialect()));
}

const QStringList List201Codes = QStringLiteral(
    "INVTZ6, INSNF6, INCOI6, INNPGB, INDRGB, INGHWB, INDHBB, INGTGB, INHTSB, INKGJB, INSTRB, INSLRB, INPHBB, INNMTB, "
    "INMNUB, INMKCB, INLTBB, INULPB, INTJPB, INGKJB, INGALB, INJBNB, INSNBB, INRXLB, INKNLB, INKTRB, INJAYB, INBTMB, "
    "INBGUB, INBNRB, INRAI6, INMDG6, INSBI6, INGIN6, INOMU1, INADA6, INRAJ6, INVPI6, INSTV6, INIXY6, INAMD5, INALA1, "
    "INAKV6, INCHN6, INGHR6, INREA6, INNUR6, INFBD6, INNGSB, INBBM6, INIXW6, INTAT6, INBLR5, INDRU6, INPDD1, INHAS6, "
    "INWFD6, INTRI1, INCOK6, INMPR6, INMDD6, ININD6, INIDR6, INDLB6, INBSL6, INDIG1, INPVL6, INGRD6, INGRR6, INMRJ6, "
    "INKHP6, INBOM6, INCCH6, INNSK6, INNGP6, INMUL6, INMREB, INBGMB, INBRAB, INSBZB, INRGUB, INMGHB, INGHPB, INDWKB, "
    "INDLUB, INBOLB, INBLTB, INCHPB, INDMRB, INPNY6, INLUD6, INATRB, INDPR6, INLDH6, INASR6, INBTI6, INTHA6, INKKU6, "
    "INBRN6, INJAI5, INJSZ6, INBGK6, INJUX6, INUDZ6, INCHMB, INAJJ6, INIXM6, INCHE6, INKAR6, INIGU6, INMAA6, INTUT6, "
    "INTDE6, INTHO6, INSLL6, INSXT6, INCBE6, INAGTB, INMHGB, INSABB, INSMPB, INRGBB, INKWGB, INDHLB, INKELB, INBSAB, "
    "INGAIB, INGJIB, INJHOB, INKTGB, INNGRB, INAPL6, INTKNB, INSNLB, INKWAB, INJWAB, INSJR6, INDLAB, INBNYB, INSTT6, "
    "INDER6, INMBC6, INNDA6, INMTC6, INCPC6, INBSB6, INBLJ6, INGTZB, INHLIB, INJIGB, INPTPB, INPNTB, INNKNB, INLGLB, "
    "INMHDB, INJPGB, INTNGB, INTTSB, INSKPB, INSTIB, INHGLB, INGJXB, INCBDB, INFBRB, INSLT6, INFLT6")
                                      .split(QStringLiteral(", "));

// What a patch may change, as the engine holds it: every table with its columns, indexes,
// constraints and triggers, the key counters, and a digest of every table's rows.
QStringList snapshot(const Database &db)
{
    QStringList out;
    const bool pg = db.engine() == Engine::PostgreSQL;
    const QStringList schema =
        pg ? QStringList{QStringLiteral("select table_name || '.' || column_name || ' ' || data_type || ' ' || "
                                        "coalesce(character_maximum_length::text, '') || ' ' || ordinal_position "
                                        "from information_schema.columns where table_schema = current_schema() order by 1"),
                         QStringLiteral("select indexdef from pg_indexes where schemaname = current_schema() order by 1"),
                         QStringLiteral("select t.relname || ' ' || c.conname || ' ' || pg_get_constraintdef(c.oid) "
                                        "from pg_constraint c join pg_class t on t.oid = c.conrelid "
                                        "join pg_namespace s on s.oid = t.relnamespace where s.nspname = current_schema() "
                                        "order by 1"),
                         QStringLiteral("select t.relname || ' ' || g.tgname from pg_trigger g join pg_class t on "
                                        "t.oid = g.tgrelid where not g.tgisinternal order by 1"),
                         QStringLiteral("select sequencename || ' ' || coalesce(last_value, 0) from pg_sequences "
                                        "where schemaname = current_schema() order by 1")}
           : QStringList{QStringLiteral("select type || ' ' || name || ' ' || coalesce(sql, '') from sqlite_master "
                                        "order by type, name")};
    for (const QString &sql : schema) {
        auto q = db.query(sql);
        if (!q)
            return {q.failure().numberAndText()};
        while (q->next())
            out << q->value(0).toString();
    }
    const Result<QStringList> tables = db.tableList();
    if (!tables)
        return {tables.failure().numberAndText()};
    QStringList sorted = tables.value();
    sorted.sort(Qt::CaseInsensitive);
    for (const QString &table : sorted) {
        auto q = db.query(QStringLiteral("select * from %1 order by 1").arg(table));
        if (!q)
            return {q.failure().numberAndText()};
        QCryptographicHash digest(QCryptographicHash::Sha1);
        qint64 rows = 0;
        while (q->next()) {
            ++rows;
            for (int i = 0; i < q->record().count(); ++i)
                digest.addData((q->value(i).toString() + QLatin1Char('\x1f')).toUtf8());
        }
        out << QStringLiteral("%1: %2 rows %3").arg(table.toLower()).arg(rows).arg(QString::fromLatin1(digest.result().toHex()));
    }
    return out;
}

} // namespace

class TestPatches : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The ports of today's master join an older one; the rows it holds stay as they are.
    // The table upgrade keeps the voyage data and lets a 10-character CFS code in.
    void upgradesFor2_1_0_data() { test::addEngineRows(); }
    void upgradesFor2_1_0()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        QCOMPARE(Patches::updatePortCodes(db).outcome, Outcome::Applied);
        VERIFY_OK(db.exec("update d_port_cd set port_nm = 'Bombay of old-INBOM1' where port_cd = 'INBOM1'"));
        VERIFY_OK(db.exec("delete from d_port_cd where port_cd = 'INCCU1'"));
        const PatchResult ports = Patches::completePortMaster(db);
        QCOMPARE(ports.outcome, Outcome::Applied);
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'INBOM1'").value().toString(),
                 QStringLiteral("Bombay of old-INBOM1"));
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'INCCU1'").value().toString(),
                 QStringLiteral("Kolkata-INCCU1"));
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'INDUR6'").value().toString(),
                 QStringLiteral("ICD Durgapur-INDUR6"));
        QVERIFY(count(db, "select count(*) from d_port_cd") > 18000);
        QCOMPARE(Patches::completePortMaster(db).outcome, Outcome::AlreadyApplied);
        // the older lists find their codes there already
        QCOMPARE(Patches::run(PatchId::PortList201, db).outcome, Outcome::AlreadyApplied);

        VERIFY_OK(db.exec("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM) values ('OLD1', 'OLD ONE')"));
        VERIFY_OK(db.exec("update itmtype set itm_desc = 'General Cargo' where ITM_cd = 'GC'"));
        VERIFY_OK(insertCargo(db, 1, "V1", "1", "BL1"));
        QCOMPARE(Patches::addIcesColumns(db).outcome, Outcome::Applied);
        VERIFY_OK(db.exec("update D_VESSEL_CD set IMO_NO = '9399117' where VESSEL_CD = 'OLD1'"));
        VERIFY_OK(db.exec("update vesinfo set tocode = 'INCCU1KKP1', arrportcd = 'INCCU1'"));
        VERIFY_OK(db.exec("update cargo set destcode = 'INCCU1AGL1' where id = 1"));
        QCOMPARE(db.scalar("select destcode from cargo where id = 1").value().toString(), QStringLiteral("INCCU1AGL1"));
        QCOMPARE(db.scalar("select itm_desc from itmtype where ITM_cd = 'GC'").value().toString(),
                 QStringLiteral("Government Cargo"));
        QCOMPARE(count(db, "select count(*) from nature where nat_cd in ('LB', 'DB')"), 2);
        QCOMPARE(Patches::addIcesColumns(db).outcome, Outcome::AlreadyApplied);
    }

    void legacySchema_data() { test::addEngineRows(); }
    void legacySchema()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        QCOMPARE(cargoColumns(db).size(), 33);
        QCOMPARE(cargoColumns(db).last(), QStringLiteral("imocode"));
        // the old constraint: one bill-of-lading number in the whole table
        VERIFY_OK(insertCargo(db, 1, "V1", "1", "BL1"));
        QVERIFY(!insertCargo(db, 2, "V1", "2", "BL1").isOk());
        QVERIFY(!insertCargo(db, 3, "V2", "9", "BL1").isOk());
        if (db.engine() == Engine::PostgreSQL)
            QCOMPARE(count(db, "select count(*) from pg_constraint where conname = 'blno' and contype = 'u' "
                               "and conrelid = 'cargo'::regclass"), 1);
        // names without "-" + code, same codes as a new database
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'AEAJM'").value().toString(), QStringLiteral("Ajman"));
        QCOMPARE(count(db, "select count(*) from d_port_cd"), 1636);
        QVERIFY(count(db, "select count(*) from d_port_cd where port_nm like '%-%'") < Patches::CorrectedNamesThreshold);
        QCOMPARE(count(db, "select count(*) from d_port_cd where port_cd like 'IN%6'"), 0);
        QCOMPARE(count(db, "select count(*) from nature"), 5);
        QCOMPARE(count(db, "select count(*) from loguser"), 1);
    }

    // The whole upgrade of an older database with data in it.
    // In menu order, and with the patches first: the port lists are in before the names
    // are corrected, and the table rebuild of SQLite meets the new columns.
    void legacyAfterAllFive_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("patchesFirst");
        for (const char *engine : {"sqlite", "postgres"}) {
            QTest::addRow("%s: menu order", engine) << QString::fromLatin1(engine) << false;
            QTest::addRow("%s: patches first", engine) << QString::fromLatin1(engine) << true;
        }
    }
    void legacyAfterAllFive()
    {
        QFETCH(QString, engine);
        QFETCH(bool, patchesFirst);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        const Dialect &d = db.dialect();
        const QString insert = QStringLiteral(
            "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, impname, pkgs, grosswt, gdesc, imocode) "
            "values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?)");
        VERIFY_OK(db.exec(insert, {1, "MSCA", "012E", 1, "BL-1", d.dateToDb(QDate(2009, 3, 5)), "O'Brien & Sons", 10, 1234.5,
                                   QStringLiteral("Cotton – 100%"), "3"}));
        VERIFY_OK(db.exec(insert, {2, "MSCA", "012E", 2, "BL-2", d.dateToDb(QDate(2009, 3, 6)), "Ünïcödé", 1, 0.25, "", ""}));
        VERIFY_OK(db.exec(insert, {7, "EVER", "3", 1, "BL-3", QVariant(QMetaType::fromType<QDate>()), QVariant(QMetaType::fromType<QString>()),
                                   QVariant(QMetaType::fromType<int>()), QVariant(QMetaType::fromType<double>()), "x", "9"}));
        VERIFY_OK(db.exec("insert into contain (ref, containno, conwt) values (1, 'ABCU1234560', 12.5)"));
        VERIFY_OK(db.exec("insert into contain (ref, containno, conwt) values (7, 'ABCU1234561', 3)"));
        VERIFY_OK(db.exec("insert into vesinfo (vslcode, voyno, vslname) values ('MSCA', '012E', 'MSC Anna')"));
        VERIFY_OK(db.exec("create index cargo_vessel on cargo(vslcode)"));
        const QString cargoRows = QStringLiteral("select * from cargo order by id");
        const QList<QVariantList> cargoBefore = allRows(db, cargoRows, 33);
        const QList<QVariantList> containBefore = allRows(db, "select * from contain order by autoid", 12);
        const QStringList containIndexes = indexes(db, "contain");
        const QStringList vesinfoIndexes = indexes(db, "vesinfo");
        QCOMPARE(cargoBefore.size(), 3);

        QList<std::pair<PatchId, QString>> steps = {
            {PatchId::UpdatePortCodes, QStringLiteral("Update Successful ")},
            {PatchId::UpdateCargoTable, QString()},
            {PatchId::CargoColumns, QStringLiteral("Software Patched Successfully ...")},
            {PatchId::PortList201, QStringLiteral("Software Patched Successfully ...")},
            {PatchId::PortList203, QStringLiteral("Software Patched Successfully ...")},
        };
        if (engine == QLatin1String("sqlite")) // PostgreSQL holds the widths by its types
            steps.append({PatchId::ColumnWidths, QLatin1String(Patches::WidthsEnforced)});
        if (patchesFirst)
            steps = steps.mid(2) + steps.mid(0, 2);
        // the UN/LOCODE ports once the names are corrected, as the command asks
        QCOMPARE(Patches::run(PatchId::PortMaster210, db).message, QLatin1String(Patches::NamesNotCorrected));
        steps << std::pair{PatchId::PortMaster210, QStringLiteral("Software Patched Successfully ...")}
              << std::pair{PatchId::IcesColumns210, QStringLiteral("Software Patched Successfully ...")}
              << std::pair{PatchId::FilingColumns220, QStringLiteral("Software Patched Successfully ...")}
              << std::pair{PatchId::CargoKeys230, QStringLiteral("Software Patched Successfully ...")}
              << std::pair{PatchId::HouseLinks240, QStringLiteral("Software Patched Successfully ...")}
              << std::pair{PatchId::FilingRegister250, QStringLiteral("Software Patched Successfully ...")};
        for (const auto &[id, message] : steps) {
            const PatchResult r = Patches::run(id, db);
            QVERIFY2(r.outcome == Outcome::Applied, qPrintable(Patches::info(id)->name + QLatin1String(": ") + r.message));
            QCOMPARE(r.message, message);
        }

        // the schema of a new company database
        QUARL_COMPANY_DB(fresh, engine);
        QCOMPARE(cargoColumns(db), cargoColumns(fresh.db()));
        QCOMPARE(columnTypes(db, "cargo"), columnTypes(fresh.db(), "cargo"));
        QCOMPARE(indexes(db, "contain"), containIndexes);
        QCOMPARE(indexes(db, "vesinfo"), vesinfoIndexes);
        QStringList cargoIndexes = indexes(db, "cargo");
        QCOMPARE(cargoIndexes.size(), indexes(fresh.db(), "cargo").size() + 1);
        QVERIFY(cargoIndexes.filter("cargo_vessel").size() == 1);
        QCOMPARE(cargoIndexes.filter(QRegularExpression("blno", QRegularExpression::CaseInsensitiveOption)),
                 indexes(fresh.db(), "cargo").filter(QRegularExpression("blno", QRegularExpression::CaseInsensitiveOption)));

        // every row kept as it was, the new columns empty
        const QList<QVariantList> cargoAfter = allRows(db, cargoRows, 37);
        QCOMPARE(cargoAfter.size(), cargoBefore.size());
        for (int i = 0; i < cargoAfter.size(); ++i) {
            QCOMPARE(cargoAfter.at(i).mid(0, 33), cargoBefore.at(i));
            for (int c = 33; c < 37; ++c)
                QVERIFY(cargoAfter.at(i).at(c).isNull());
        }
        QCOMPARE(allRows(db, "select * from contain order by autoid", 12), containBefore);
        QCOMPARE(count(db, "select count(*) from vesinfo"), 1);

        // a bill-of-lading number once per voyage, in as many voyages as there are
        VERIFY_OK(insertCargo(db, 8, "MSCA", "013E", "BL-1"));
        VERIFY_OK(insertCargo(db, 9, "EVER", "3", "BL-1"));
        QVERIFY(!insertCargo(db, 10, "MSCA", "012E", "BL-1").isOk());
        VERIFY_OK(db.exec("update cargo set tpregno = 12345678901, caccode = 'CAC', trmode = 'R', mlo = 'MLO' where id = 8"));
        QCOMPARE(db.scalar("select tpregno from cargo where id = 8").value().toDouble(), 12345678901.0);

        // both port lists, and the older names in the form of a new database
        QCOMPARE(count(db, "select count(*) from d_port_cd"), count(fresh.db(), "select count(*) from d_port_cd"));
        QVERIFY(count(db, "select count(*) from d_port_cd") > 17000);
        const QString allPorts = QStringLiteral("select port_cd, port_nm from d_port_cd order by port_cd");
        QCOMPARE(allRows(db, allPorts, 2), allRows(fresh.db(), allPorts, 2));
        for (const char *table : {"vesinfo", "D_VESSEL_CD", "nature", "itmtype"})
            QCOMPARE(columnTypes(db, table), columnTypes(fresh.db(), table));
        for (const char *list : {":/data/ports_2_0_1.tsv", ":/data/ports_2_0_3.tsv"}) {
            const auto rows = Schema::readCodeMaster(QLatin1String(list));
            QVERIFY(rows.isOk());
            for (const QStringList &row : rows.value())
                QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = ?", {row.at(0)}).value().toString(), row.at(1));
        }
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'INLON6'").value().toString(),
                 QStringLiteral("ICD Loni-INLON6"));
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'INJSZ6'").value().toString(),
                 QStringLiteral("Jaipur – Sitapur (EPZ/SEZ)-INJSZ6"));
        const QString names = QStringLiteral("select port_cd, port_nm from d_port_cd where port_cd not like 'IN%' order by port_cd");
        QCOMPARE(allRows(db, names, 2), allRows(fresh.db(), names, 2));

        // and every command now says it is done
        for (const PatchInfo &p : Patches::all()) {
            const PatchResult again = Patches::run(p.id, db);
            QCOMPARE(again.outcome, Outcome::AlreadyApplied);
        }
        QCOMPARE(count(db, "select count(*) from d_port_cd"), count(fresh.db(), "select count(*) from d_port_cd"));
        QCOMPARE(indexes(db, "cargo"), cargoIndexes);
    }

    // A company database of release 2.1.0 with voyage data: the upgrade keeps every row as it
    // was, leaves the new columns empty, brings the code masters and the company's row, and
    // gives the schema of a new database; the second run has nothing to do.
    void filingUpgradeFrom2_1_0_data() { test::addEngineRows(); }
    void filingUpgradeFrom2_1_0()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        Schema::CompanyOptions release210;
        release210.release210 = true;
        VERIFY_OK(Schema::createCompanyDatabase(t.db(), release210));
        const Database &db = t.db();
        QVERIFY(!db.hasTable(QStringLiteral("cargoitem")));
        QCOMPARE(cargoColumns(db).size(), 37);
        VERIFY_OK(db.exec("insert into vesinfo (vslcode, voyno, vslname, tocode, arrportcd) "
                          "values ('MSCA', '012E', 'MSC Anna', 'INNSA1TRM1', 'INNSA1')"));
        VERIFY_OK(db.exec("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, impname, pkgs, grosswt, mlo) "
                          "values (4, 'MSCA', '012E', 1, 0, 'BL-1', 'O''Brien & Sons', 10, 1234.5, 'MLO1')"));
        VERIFY_OK(db.exec("insert into contain (ref, containno, sealno, conwt) values (4, 'ABCU1234560', 'S1', 12.5)"));
        const QList<QVariantList> vesinfoBefore = allRows(db, "select * from vesinfo", 33);
        const QList<QVariantList> cargoBefore = allRows(db, "select * from cargo", 37);
        const QList<QVariantList> containBefore = allRows(db, "select * from contain", 12);

        const PatchResult r = Patches::run(PatchId::FilingColumns220, db);
        QCOMPARE(r.outcome, Outcome::Applied);
        QCOMPARE(r.message, QStringLiteral("Software Patched Successfully ..."));
        QCOMPARE(Patches::run(PatchId::HouseLinks240, db).outcome, Outcome::Applied);
        QCOMPARE(Patches::run(PatchId::FilingRegister250, db).outcome, Outcome::Applied);

        QUARL_COMPANY_DB(fresh, engine);
        for (const char *table : {"vesinfo", "cargo", "contain", "cargoitem", "compinfo", "D_STATE_CD", "shiptype"})
            QCOMPARE(columnTypes(db, table), columnTypes(fresh.db(), table));
        QCOMPARE(indexes(db, "cargoitem").size(), indexes(fresh.db(), "cargoitem").size());
        for (const auto &[table, before, width] : {std::tuple{"vesinfo", vesinfoBefore, 33}, std::tuple{"cargo", cargoBefore, 37},
                                                   std::tuple{"contain", containBefore, 12}}) {
            const QStringList all = db.columnNames(QLatin1String(table));
            QVERIFY(all.size() > width);
            const QList<QVariantList> after = allRows(db, QStringLiteral("select * from %1").arg(QLatin1String(table)),
                                                      int(all.size()));
            QCOMPARE(after.size(), 1);
            QCOMPARE(after.first().mid(0, width), before.first());
            for (int c = width; c < all.size(); ++c)
                QVERIFY2(after.first().at(c).isNull(), qPrintable(all.at(c)));
        }
        // every shipped code list, and the company's one row
        for (const Schema::CodeMaster &cm : Schema::codeMasters()) {
            if (!Schema::isFilingMaster(cm.table))
                continue;
            auto rows = Schema::readCodeMaster(cm.resource);
            QVERIFY(rows.isOk() && !rows->isEmpty());
            QCOMPARE(count(db, QStringLiteral("select count(*) from %1").arg(cm.table)), qint64(rows->size()));
        }
        QCOMPARE(db.scalar("select state_nm from D_STATE_CD where state_cd = '27'").value().toString(),
                 QStringLiteral("MAHARASHTRA"));
        QCOMPARE(allRows(db, "select sbmtrtype, nextjobno from compinfo", 2),
                 (QList<QVariantList>{{QStringLiteral("ASA"), 1}}));

        const PatchResult again = Patches::run(PatchId::FilingColumns220, db);
        QCOMPARE(again.outcome, Outcome::AlreadyApplied);
        QCOMPARE(again.message, QStringLiteral("Software already patched ..."));
        QCOMPARE(Patches::run(PatchId::FilingColumns220, fresh.db()).outcome, Outcome::AlreadyApplied);
    }

    // A company database of release 2.3.0 keeps a house B/L under the first line of its
    // number before it, voyage by voyage: the upgrade links each house so and gives the
    // schema of a new database; the upgrade of 2.2.0 goes first.
    void houseLinksFrom2_3_0_data() { test::addEngineRows(); }
    void houseLinksFrom2_3_0()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        Schema::CompanyOptions release230;
        release230.release230 = true;
        VERIFY_OK(Schema::createCompanyDatabase(t.db(), release230));
        const Database &db = t.db();
        QVERIFY(!cargoColumns(db).contains(QStringLiteral("masterid")));
        const QString insert = QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno) values (?, ?, ?, ?, ?, ?)");
        const QList<QVariantList> rows = {
            {10, "MSCA", "012E", 1, 0, "M1"}, {11, "MSCA", "012E", 1, 1, "H1"},  {12, "EVER", "3", 1, 0, "N1"},
            {13, "MSCA", "012E", 2, 0, "M2"}, {14, "EVER", "3", 1, 1, "NH1"},    {15, "MSCA", "012E", 1, 2, "H2"},
            {16, "MSCA", "012E", 7, 1, "ALONE"}, {17, "MSCA", "012E", 7, 0, "M7"}};
        for (const QVariantList &r : rows)
            VERIFY_OK(db.exec(insert, r));

        const PatchResult r = Patches::run(PatchId::HouseLinks240, db);
        QCOMPARE(r.outcome, Outcome::Applied);
        QCOMPARE(r.message, QStringLiteral("Software Patched Successfully ..."));
        QCOMPARE(allRows(db, "select id, masterid from cargo where masterid is not null order by id", 2),
                 (QList<QVariantList>{{11, 10}, {14, 12}, {15, 10}}));
        QCOMPARE(Patches::run(PatchId::FilingRegister250, db).outcome, Outcome::Applied);

        QUARL_COMPANY_DB(fresh, engine);
        QCOMPARE(columnTypes(db, "cargo"), columnTypes(fresh.db(), "cargo"));
        QCOMPARE(indexes(db, "cargo"), indexes(fresh.db(), "cargo"));
        QCOMPARE(Patches::run(PatchId::HouseLinks240, db).outcome, Outcome::AlreadyApplied);
        QCOMPARE(Patches::run(PatchId::HouseLinks240, fresh.db()).outcome, Outcome::AlreadyApplied);

        LEGACY_DB(older, engine);
        QCOMPARE(Patches::run(PatchId::HouseLinks240, older.db()).message, QLatin1String(Patches::FilingUpgradeFirst));
        QVERIFY(!cargoColumns(older.db()).contains(QStringLiteral("masterid")));
    }

    // A company database of release 2.4.0 with a voyage: the upgrade adds the register of
    // filings and the columns for the numbers customs gives the lines, as a new database has
    // them, keeps every row, and has nothing to do the second time; it needs 2.4.0 first.
    void filingRegisterFrom2_4_0_data() { test::addEngineRows(); }
    void filingRegisterFrom2_4_0()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        Schema::CompanyOptions release240;
        release240.release240 = true;
        VERIFY_OK(Schema::createCompanyDatabase(t.db(), release240));
        const Database &db = t.db();
        QVERIFY(!db.hasTable(QStringLiteral("samfiling")));
        QVERIFY(!cargoColumns(db).contains(QStringLiteral("mcin")));
        VERIFY_OK(db.exec("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, pkgs) "
                          "values (4, 'MSCA', '012E', 1, 0, 'BL-1', 10)"));
        const int width = int(cargoColumns(db).size());
        const QList<QVariantList> before = allRows(db, "select * from cargo", width);

        const PatchResult r = Patches::run(PatchId::FilingRegister250, db);
        QCOMPARE(r.outcome, Outcome::Applied);
        QCOMPARE(r.message, QStringLiteral("Software Patched Successfully ..."));
        QUARL_COMPANY_DB(fresh, engine);
        QCOMPARE(cargoColumns(db), cargoColumns(fresh.db()));
        QCOMPARE(columnTypes(db, "cargo"), columnTypes(fresh.db(), "cargo"));
        QCOMPARE(columnTypes(db, "samfiling"), columnTypes(fresh.db(), "samfiling"));
        QCOMPARE(indexes(db, "samfiling"), indexes(fresh.db(), "samfiling"));
        QCOMPARE(indexes(db, "samfiling").filter(QRegularExpression("samfiling_(voyage|job)")).size(), 2);
        const QList<QVariantList> after = allRows(db, "select * from cargo", width + 2);
        QCOMPARE(after.size(), 1);
        QCOMPARE(after.first().mid(0, width), before.first());
        QVERIFY(after.first().at(width).isNull() && after.first().at(width + 1).isNull());

        // run again, and on a new database: nothing to do, nothing lost
        VERIFY_OK(db.exec("insert into samfiling (vslcode, voyno, sender, jobno, state) values ('MSCA', '012E', 'X', 1, 'W')"));
        QCOMPARE(Patches::run(PatchId::FilingRegister250, db).outcome, Outcome::AlreadyApplied);
        QCOMPARE(Patches::run(PatchId::FilingRegister250, db).message, QStringLiteral("Software already patched ..."));
        QCOMPARE(count(db, "select count(*) from samfiling"), 1);
        QCOMPARE(Patches::run(PatchId::FilingRegister250, fresh.db()).outcome, Outcome::AlreadyApplied);

        // appended after the link of 2.4.0, which must be in first
        QUARL_TEMP_DB(older, engine);
        Schema::CompanyOptions release230;
        release230.release230 = true;
        VERIFY_OK(Schema::createCompanyDatabase(older.db(), release230));
        QCOMPARE(Patches::run(PatchId::FilingRegister250, older.db()).message, QLatin1String(Patches::HouseLinksFirst));
        QVERIFY(!older.db().hasTable(QStringLiteral("samfiling")));
        QVERIFY(!cargoColumns(older.db()).contains(QStringLiteral("mcin")));
    }

    // Appended before the columns of 2.0.0 or 2.1.0, the new columns would take their
    // places, and the imports match columns by position: refused, nothing changed.
    void filingUpgradeAfterTheEarlierOnes_data() { test::addEngineRows(); }
    void filingUpgradeAfterTheEarlierOnes()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        for (bool tpColumns : {false, true}) {
            if (tpColumns) // 2.0.0 in, 2.1.0 not yet
                QCOMPARE(Patches::run(PatchId::CargoColumns, db).outcome, Outcome::Applied);
            const QStringList before = cargoColumns(db);
            const PatchResult r = Patches::run(PatchId::FilingColumns220, db);
            QCOMPARE(r.outcome, Outcome::Failed);
            QCOMPARE(r.message, QLatin1String(Patches::EarlierUpgradesFirst));
            QCOMPARE(cargoColumns(db), before);
            QVERIFY(!db.hasTable(QStringLiteral("cargoitem")));
        }
    }

    void portNameCorrection_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("corrected");
        struct Case
        {
            const char *tag;
            const char *code;
            QString name;
            const char *corrected;
        };
        const QList<Case> cases = {
            {"upper case", "AEAJM", QStringLiteral("Ajman"), "Ajman-AEAJM"},
            {"trailing blanks", "AEAUH", QStringLiteral("Abu Dhabi   "), "Abu Dhabi-AEAUH"},
            {"one leading blank", "INBOM1", QStringLiteral(" Mumbai"), "Mumbai-INBOM1"},
            {"two leading blanks keep one", "INMAA1", QStringLiteral("  Chennai"), " Chennai-INMAA1"},
            {"lower-case first letter", "INCOK1", QStringLiteral("cochin"), "ochin-INCOK1"},
            {"Z stays", "ZADUR", QStringLiteral("Zulu"), "Zulu-ZADUR"},
            {"[ is above 90", "XX001", QStringLiteral("[Port"), "Port-XX001"},
            {"@ is below 65", "XX002", QStringLiteral("@Port"), "Port-XX002"},
            {"digit", "XX003", QStringLiteral("9 Mile"), " Mile-XX003"},
            {"letter beyond ASCII", "XX004", QStringLiteral("Ümraniye"), "mraniye-XX004"},
            {"en dash", "XX005", QStringLiteral("–Dash"), "Dash-XX005"},
            {"hyphen inside", "CAPOI", QStringLiteral("Pointe-Claire"), "Pointe-Claire-CAPOI"},
            {"quote", "XX006", QStringLiteral("O'Hare"), "O'Hare-XX006"},
            {"empty", "XX007", QString(""), "-XX007"},
            {"already corrected", "INIXY6", QStringLiteral("Kandla (EPZ/SEZ)-INIXY6"), "Kandla (EPZ/SEZ)-INIXY6"},
            {"corrected, leading blank", "INBOM6", QStringLiteral(" Mumbai (ICD)-INBOM6"), " Mumbai (ICD)-INBOM6"},
            {"corrected, trailing blank", "INTAT6", QStringLiteral("Jamshedpur (ICD)-INTAT6 "), "Jamshedpur (ICD)-INTAT6 "},
            {"other code at the end", "XX008", QStringLiteral("Near-XX009"), "Near-XX009-XX008"},
        };
        for (const char *engine : {"sqlite", "postgres"}) {
            for (const Case &c : cases)
                QTest::addRow("%s: %s", engine, c.tag) << QString::fromLatin1(engine) << QString::fromLatin1(c.code)
                                                       << c.name << QString::fromUtf8(c.corrected);
        }
    }
    void portNameCorrection()
    {
        QFETCH(QString, engine);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, corrected);
        QUARL_TEMP_DB(t, engine);
        VERIFY_OK(portTableOnly(t.db()));
        VERIFY_OK(t.db().exec("insert into d_port_cd values (?, ?)", {code, name}));
        VERIFY_OK(t.db().exec("insert into d_port_cd values ('XXNUL', null)"));
        const PatchResult r = Patches::updatePortCodes(t.db());
        QCOMPARE(r.outcome, Outcome::Applied);
        QCOMPARE(r.message, QStringLiteral("Update Successful "));
        QCOMPARE(t.db().scalar("select port_nm from d_port_cd where port_cd = ?", {code}).value().toString(), corrected);
        QVERIFY(t.db().scalar("select port_nm from d_port_cd where port_cd = 'XXNUL'").value().isNull());
    }

    void portNameThreshold_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("hyphenated");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("message");
        for (const char *engine : {"sqlite", "postgres"}) {
            QTest::addRow("%s: 1000", engine) << QString::fromLatin1(engine) << 1000 << Outcome::Applied
                                              << QStringLiteral("Update Successful ");
            QTest::addRow("%s: 1001", engine) << QString::fromLatin1(engine) << 1001 << Outcome::AlreadyApplied
                                              << QStringLiteral("Port Codes Already been Updated...");
        }
    }
    void portNameThreshold()
    {
        QFETCH(QString, engine);
        QFETCH(int, hyphenated);
        QFETCH(Outcome, outcome);
        QFETCH(QString, message);
        QUARL_TEMP_DB(t, engine);
        const Database &db = t.db();
        VERIFY_OK(portTableOnly(db));
        {
            Transaction tx(db);
            for (int i = 0; i < hyphenated; ++i)
                VERIFY_OK(db.exec("insert into d_port_cd values (?, ?)", {QStringLiteral("H%1").arg(i, 5, 10, QLatin1Char('0')),
                                                                         QStringLiteral("Some-Where")}));
            VERIFY_OK(db.exec("insert into d_port_cd values ('INMAA1', '  Chennai')"));
            VERIFY_OK(tx.commit());
        }
        const PatchResult r = Patches::updatePortCodes(db);
        QCOMPARE(r.outcome, outcome);
        QCOMPARE(r.message, message);
        const QString chennai = db.scalar("select port_nm from d_port_cd where port_cd = 'INMAA1'").value().toString();
        QCOMPARE(chennai, outcome == Outcome::Applied ? QStringLiteral(" Chennai-INMAA1") : QStringLiteral("  Chennai"));
        QCOMPARE(count(db, "select count(*) from d_port_cd where port_nm = 'Some-Where'"),
                 outcome == Outcome::Applied ? 0 : hyphenated);
    }

    // A failing second statement must not leave the first characters dropped, or a second
    // run would drop another one.
    void portNameCorrectionAllOrNothing()
    {
        QUARL_TEMP_DB(t, "postgres");
        const Database &db = t.db();
        VERIFY_OK(db.exec("create table d_port_cd (port_cd varchar(6) primary key, port_nm varchar(10))"));
        VERIFY_OK(db.exec("insert into d_port_cd values ('INMAA1', ' Chennai'), ('AEAJM', 'Ajman')"));
        const PatchResult r = Patches::updatePortCodes(db);
        QCOMPARE(r.outcome, Outcome::Failed);
        QVERIFY(r.message.startsWith(r.failure.code + QLatin1String("  ")));
        QVERIFY(!r.failure.code.isEmpty());
        QCOMPARE(db.scalar("select port_nm from d_port_cd where port_cd = 'INMAA1'").value().toString(), QStringLiteral(" Chennai"));
    }

    void cargoColumnsTwice_data() { test::addEngineRows(); }
    void cargoColumnsTwice()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        VERIFY_OK(insertCargo(t.db(), 1, "V", "1", "B"));
        PatchResult r = Patches::addCargoColumns(t.db());
        QCOMPARE(r.outcome, Outcome::Applied);
        QCOMPARE(r.message, QStringLiteral("Software Patched Successfully ..."));
        QCOMPARE(cargoColumns(t.db()).mid(33), (QStringList{"tpregno", "caccode", "trmode", "mlo"}));
        r = Patches::addCargoColumns(t.db());
        QCOMPARE(r.outcome, Outcome::AlreadyApplied);
        QCOMPARE(r.message, QStringLiteral("Software already patched ..."));
        QCOMPARE(cargoColumns(t.db()).size(), 37);
        // a new database has them
        QUARL_COMPANY_DB(fresh, engine);
        QCOMPARE(Patches::addCargoColumns(fresh.db()).outcome, Outcome::AlreadyApplied);
        // and, after the 2.1.0 upgrade widens destcode, the same types
        QCOMPARE(Patches::addIcesColumns(t.db()).outcome, Outcome::Applied);
        QCOMPARE(Patches::addFilingColumns(t.db()).outcome, Outcome::Applied);
        QCOMPARE(Patches::addHouseLinks(t.db()).outcome, Outcome::Applied);
        QCOMPARE(Patches::addFilingRegister(t.db()).outcome, Outcome::Applied);
        QCOMPARE(columnTypes(t.db(), "cargo"), columnTypes(fresh.db(), "cargo"));
    }

    // One of the four columns there already but fewer than 34 columns: the engine refuses
    // the duplicate and none of the others is added.
    void cargoColumnsPartlyThere_data() { test::addEngineRows(); }
    void cargoColumnsPartlyThere()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        VERIFY_OK(t.db().exec("create table cargo (id integer, vslcode varchar(10), blno varchar(20), mlo char(10))"));
        const PatchResult r = Patches::addCargoColumns(t.db());
        QCOMPARE(r.outcome, Outcome::Failed);
        QCOMPARE(r.message, r.failure.numberAndText());
        QCOMPARE(cargoColumns(t.db()), (QStringList{"id", "vslcode", "blno", "mlo"}));
    }

    void cargoTableTwice_data() { test::addEngineRows(); }
    void cargoTableTwice()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        VERIFY_OK(insertCargo(db, 1, "V1", "1", "BL1"));
        PatchResult r = Patches::updateCargoTable(db);
        QCOMPARE(r.outcome, Outcome::Applied);
        QVERIFY(r.message.isEmpty());
        const QStringList after = indexes(db, "cargo");
        VERIFY_OK(insertCargo(db, 2, "V1", "2", "BL1"));
        QVERIFY(!insertCargo(db, 3, "V1", "1", "BL1").isOk());

        r = Patches::updateCargoTable(db);
        QCOMPARE(r.outcome, Outcome::AlreadyApplied);
        QCOMPARE(r.message, QLatin1String(Patches::AlreadyPatched));
        QCOMPARE(indexes(db, "cargo"), after);
        QCOMPARE(count(db, "select count(*) from cargo"), 2);

        // a new database never had the old constraint (the index of the houses' link aside)
        QUARL_COMPANY_DB(fresh, engine);
        QStringList freshIndexes = indexes(fresh.db(), "cargo");
        freshIndexes.removeIf([](const QString &ix) { return ix.contains(QLatin1String("cargo_master")); });
        const QStringList allFresh = indexes(fresh.db(), "cargo");
        QCOMPARE(Patches::updateCargoTable(fresh.db()).outcome, Outcome::AlreadyApplied);
        QCOMPARE(indexes(fresh.db(), "cargo"), allFresh);
        QCOMPARE(after, freshIndexes);

        // the constraint gone but no index (a half-done upgrade by hand): the index comes
        VERIFY_OK(fresh.db().exec("drop index " + fresh.db().dialect().indexName("cargo")));
        QCOMPARE(Patches::updateCargoTable(fresh.db()).outcome, Outcome::Applied);
        QCOMPARE(indexes(fresh.db(), "cargo"), allFresh);
    }

    // When the index cannot be made, the old constraint stays: otherwise nothing would
    // guard the bill-of-lading numbers and a second run could not mend it.
    void cargoTableIndexRefused_data() { test::addEngineRows(); }
    void cargoTableIndexRefused()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        VERIFY_OK(insertCargo(db, 1, "V1", "1", "BL1"));
        VERIFY_OK(db.exec("create index " + db.dialect().indexName("cargo") + " on contain(ref)"));
        const PatchResult r = Patches::updateCargoTable(db);
        QCOMPARE(r.outcome, Outcome::Failed);
        QVERIFY(!insertCargo(db, 2, "V1", "2", "BL1").isOk());
        QCOMPARE(count(db, "select count(*) from cargo"), 1);
        QCOMPARE(cargoColumns(db).size(), 33);
    }

    // The table rebuild of SQLite: the definition's other parts, indexes, triggers and
    // the autoincrement high-water mark survive; only the named constraint goes.
    void sqliteRebuild_data()
    {
        QTest::addColumn<QString>("create");
        QTest::addColumn<bool>("found");
        QTest::newRow("table constraint") << QStringLiteral(
            "create table t (id integer primary key autoincrement, a varchar(10), b numeric(10,2), "
            "constraint BLNO unique (a, b), check (b > 0))") << true;
        QTest::newRow("quoted, comments, commas in literals") << QStringLiteral(
            "CREATE TABLE t (\n  id integer primary key autoincrement, -- key, (see below)\n"
            "  a varchar(10) default 'x, constraint BLNO unique (a)',\n  b numeric(10,2) check (b > 0),\n"
            "  /* constraint BLNO, old */ constraint \"Blno\" unique (a, b)\n)") << true;
        QTest::newRow("bracketed name") << QStringLiteral(
            "create table t (id integer primary key autoincrement, [a] text, b real check (b > 0), "
            "constraint [blno] unique ([a], b))") << true;
        QTest::newRow("no such constraint") << QStringLiteral(
            "create table t (id integer primary key autoincrement, a text, b real check (b > 0), "
            "constraint other unique (a, b))") << false;
    }
    void sqliteRebuild()
    {
        QFETCH(QString, create);
        QFETCH(bool, found);
        QUARL_TEMP_DB(t, "sqlite");
        const Database &db = t.db();
        VERIFY_OK(db.exec(create));
        VERIFY_OK(db.exec("create index t_b on t(b)"));
        VERIFY_OK(db.exec("create table log (what text)"));
        VERIFY_OK(db.exec("create trigger t_log after insert on t begin insert into log values (new.a); end"));
        for (int i = 1; i <= 3; ++i)
            VERIFY_OK(db.exec("insert into t (a, b) values (?, ?)", {QStringLiteral("row %1").arg(i), i}));
        VERIFY_OK(db.exec("delete from t where id = 3"));
        const QStringList columns = columnTypes(db, "t");

        Transaction tx(db);
        const Status s = dropConstraint(db, QStringLiteral("T"), QStringLiteral("BLNO"));
        VERIFY_OK(tx.commit());
        QCOMPARE(s.isOk(), found);
        if (!found)
            QCOMPARE(s.failure().numberAndText(), QStringLiteral("1  no such constraint: BLNO"));

        QCOMPARE(columnTypes(db, "t"), columns);
        QCOMPARE(allRows(db, "select id, a, b from t order by id", 3),
                 (QList<QVariantList>{{1, "row 1", 1}, {2, "row 2", 2}}));
        QCOMPARE(count(db, "select count(*) from sqlite_master where type = 'index' and name = 't_b'"), 1);
        QCOMPARE(count(db, "select count(*) from sqlite_master where type = 'trigger' and name = 't_log'"), 1);
        VERIFY_OK(db.exec("insert into t (a, b) values ('row 4', 4)"));
        QCOMPARE(count(db, "select max(id) from t"), 4);
        QCOMPARE(count(db, "select count(*) from log"), 4);
        QVERIFY(!db.exec("insert into t (a, b) values ('neg', -1)").isOk()); // the check stays
        QCOMPARE(db.exec("insert into t (a, b) values ('row 1', 1)").isOk(), found);
        if (found)
            QVERIFY(db.scalar("select sql from sqlite_master where name = 't'").value().toString().contains("check"));
    }

    void portList_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("ports");
        QTest::addColumn<Outcome>("outcome");
        for (const char *engine : {"sqlite", "postgres"}) {
            const QString e = QString::fromLatin1(engine);
            QTest::addRow("%s: 2.0.1 at its threshold", engine) << e << 201 << 29500 << Outcome::Applied;
            QTest::addRow("%s: 2.0.1 above", engine) << e << 201 << 29501 << Outcome::AlreadyApplied;
            QTest::addRow("%s: 2.0.3 at its threshold", engine) << e << 203 << 29646 << Outcome::Applied;
            QTest::addRow("%s: 2.0.3 above", engine) << e << 203 << 29647 << Outcome::AlreadyApplied;
        }
    }
    void portList()
    {
        QFETCH(QString, engine);
        QFETCH(int, list);
        QFETCH(int, ports);
        QFETCH(Outcome, outcome);
        LEGACY_DB(t, engine); // the port master of the releases before the lists
        const Database &db = t.db();
        VERIFY_OK(padPorts(db, ports));
        QCOMPARE(count(db, "select count(*) from d_port_cd"), ports);
        const PatchId id = list == 201 ? PatchId::PortList201 : PatchId::PortList203;
        const PatchResult r = Patches::run(id, db);
        QCOMPARE(r.outcome, outcome);
        const int rows = list == 201 ? 166 : 6;
        if (outcome == Outcome::Applied) {
            QCOMPARE(r.message, QStringLiteral("Software Patched Successfully ..."));
            QCOMPARE(count(db, "select count(*) from d_port_cd"), ports + rows);
        } else {
            QCOMPARE(r.message, QStringLiteral("Software already patched ..."));
            QCOMPARE(count(db, "select count(*) from d_port_cd"), ports);
        }
    }

    void portListContents()
    {
        auto first = Schema::readCodeMaster(QStringLiteral(":/data/ports_2_0_1.tsv"));
        auto second = Schema::readCodeMaster(QStringLiteral(":/data/ports_2_0_3.tsv"));
        QVERIFY(first.isOk() && second.isOk());
        QStringList codes;
        QHash<QString, QString> names;
        for (const QList<QStringList> *rows : {&first.value(), &second.value()}) {
            for (const QStringList &row : *rows) {
                QCOMPARE(row.size(), 2);
                QVERIFY2(row.at(1).endsWith(QLatin1Char('-') + row.at(0)), qPrintable(row.join(QLatin1Char(' '))));
                QVERIFY2(row.at(1).size() > row.at(0).size() + 2, qPrintable(row.at(1)));
                QVERIFY(!names.contains(row.at(0)));
                names.insert(row.at(0), row.at(1));
                if (rows == &first.value())
                    codes << row.at(0);
            }
        }
        QCOMPARE(codes, List201Codes);
        QCOMPARE(second->size(), 6);
        const QList<std::pair<const char *, const char *>> telling = {
            {"INIXY6", "Kandla (EPZ/SEZ)-INIXY6"},
            {"INVTZ6", "Visakhapatnam (EPZ/SEZ)-INVTZ6"},
            {"INALA1", "ALANG SBY-INALA1"},
            {"INDPR6", "DAPPER-INDPR6"},
            {"INAJJ6", "Arakkonam - Melpakkam - Chennai ICD-INAJJ6"},
            {"INJSZ6", "Jaipur – Sitapur (EPZ/SEZ)-INJSZ6"},
            {"INLUD6", "Ludhiana-INLUD6"},
            {"INLDH6", "Ludhiana-INLDH6"},
            {"INIXW6", "Jamshedpur (ICD)-INIXW6"},
            {"INTAT6", "Jamshedpur (ICD)-INTAT6"},
            {"INMWA6", "ICD Maliwada-INMWA6"},
            {"INCPL6", "Dadri-CGML-INCPL6"},
            {"INBDH6", "ICD Badohi-INBDH6"},
            {"INTTP6", "Dadri TTPL-INTTP6"},
            {"INDUR6", "ICD Durgapur-INDUR6"},
            {"INLON6", "ICD Loni-INLON6"},
        };
        for (const auto &[code, name] : telling)
            QCOMPARE(names.value(QLatin1String(code)), QString::fromUtf8(name));
        QCOMPARE(second->first().first(), QStringLiteral("INMWA6"));
        QCOMPARE(second->last().first(), QStringLiteral("INLON6"));
    }

    // Below the threshold: a list that is in says so; a list one of whose codes is there
    // is refused by the engine and leaves nothing behind.
    void portListRerunAndClash_data() { test::addEngineRows(); }
    void portListRerunAndClash()
    {
        QFETCH(QString, engine);
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        const qint64 before = count(db, "select count(*) from d_port_cd");
        QCOMPARE(Patches::run(PatchId::PortList203, db).outcome, Outcome::Applied);
        const PatchResult again = Patches::run(PatchId::PortList203, db);
        QCOMPARE(again.outcome, Outcome::AlreadyApplied);
        QCOMPARE(again.message, QStringLiteral("Software already patched ..."));
        QCOMPARE(count(db, "select count(*) from d_port_cd"), before + 6);

        VERIFY_OK(db.exec("insert into d_port_cd values ('INAJJ6', 'Arakkonam-INAJJ6')"));
        const PatchResult clash = Patches::run(PatchId::PortList201, db);
        QCOMPARE(clash.outcome, Outcome::Failed);
        QVERIFY(!clash.failure.code.isEmpty());
        QCOMPARE(clash.message, clash.failure.numberAndText());
        QCOMPARE(count(db, "select count(*) from d_port_cd"), before + 7);
        QCOMPARE(count(db, "select count(*) from d_port_cd where port_cd = 'INVTZ6'"), 0);
    }

    // Text columns refuse values longer than their widths on both engines. Older SQLite files
    // (and a PostgreSQL column widened by hand) took any length: the upgrade adds the checks,
    // keeps the rows already too long and names them; the later upgrades keep the checks.
    void columnWidths_data() { test::addEngineRows(); }
    void columnWidths()
    {
        QFETCH(QString, engine);
        const QString insert = QStringLiteral("insert into cargo (id, vslcode, voyno, blno, marks) values (?, 'V', '1', ?, ?)");
        {
            QUARL_COMPANY_DB(fresh, engine);
            QVERIFY(!fresh.db().exec(insert, {1, QStringLiteral("B1"), QString(513, QLatin1Char('M'))}).isOk());
            QVERIFY(!fresh.db().exec(QStringLiteral("update loguser set uid = ?"), {QString(51, QLatin1Char('U'))}).isOk());
            QCOMPARE(Patches::run(PatchId::ColumnWidths, fresh.db()).outcome, Outcome::AlreadyApplied);
        }
        LEGACY_DB(t, engine);
        const Database &db = t.db();
        if (db.engine() == Engine::PostgreSQL)
            VERIFY_OK(db.exec(QStringLiteral("alter table cargo alter column marks type text")));
        VERIFY_OK(db.exec(insert, {7, QStringLiteral("B7"), QString(600, QLatin1Char('M'))}));
        const PatchResult first = Patches::run(PatchId::ColumnWidths, db);
        QVERIFY2(first.message.endsWith(QStringLiteral("cargo.marks (at most 512 characters): 1 row(s), id 7")), qPrintable(first.message));
        QCOMPARE(count(db, "select length(marks) from cargo where id = 7"), 600);
        VERIFY_OK(db.exec(QStringLiteral("update cargo set lineno = 3 where id = 7")));
        if (db.engine() == Engine::PostgreSQL) { // the column takes its check once the row is shortened
            QCOMPARE(first.outcome, Outcome::AlreadyApplied);
            VERIFY_OK(db.exec(QStringLiteral("update cargo set marks = substr(marks, 1, 512) where id = 7")));
            QCOMPARE(Patches::run(PatchId::ColumnWidths, db).outcome, Outcome::Applied);
        } else {
            QCOMPARE(first.outcome, Outcome::Applied);
        }
        QVERIFY(!db.exec(insert, {8, QStringLiteral("B8"), QString(513, QLatin1Char('M'))}).isOk());
        VERIFY_OK(db.exec(insert, {8, QStringLiteral("B8"), QString(512, QLatin1Char('M'))}));
        QCOMPARE(Patches::run(PatchId::ColumnWidths, db).outcome, Outcome::AlreadyApplied);
        QCOMPARE(Patches::run(PatchId::UpdateCargoTable, db).outcome, Outcome::Applied);
        QCOMPARE(Patches::run(PatchId::CargoColumns, db).outcome, Outcome::Applied);
        QVERIFY(!db.exec(QStringLiteral("update cargo set marks = ? where id = 8"), {QString(513, QLatin1Char('M'))}).isOk());
        QVERIFY(!db.exec(QStringLiteral("update cargo set mlo = ? where id = 8"), {QString(11, QLatin1Char('M'))}).isOk());
        QCOMPARE(count(db, "select count(*) from cargo"), 2);
    }

    // Every patch run twice through quarlctl, on an older database and on a new one: the
    // second run (and every run on a new database) exits 0 and changes nothing.
    void everyPatchTwice_data() { test::addEngineRows(); }
    void everyPatchTwice()
    {
        QFETCH(QString, engine);
        const QString quarlctl = QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl");
        QTemporaryDir home;
        auto patch = [&](const test::TempDatabase &t, const QString &name, QString *said) {
            QStringList args{QStringLiteral("--home"), home.path(), QStringLiteral("patch"), name};
            if (t.engine() == Engine::PostgreSQL)
                args << QStringLiteral("--dsn") << t.pgParams().database;
            else
                args << QStringLiteral("--db") << t.sqlitePath();
            QProcess p;
            p.start(quarlctl, args);
            p.waitForFinished(120000);
            *said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        LEGACY_DB(older, engine);
        QUARL_COMPANY_DB(fresh, engine);
        if (engine == QLatin1String("postgres")) {
            DataSourceRegistry registry(QDir(home.path()).filePath(QStringLiteral("DataSources.ini")));
            for (const test::TempDatabase *t : {&older, &fresh})
                VERIFY_OK(registry.registerPostgres(t->pgParams().database, t->pgParams()));
        }
        VERIFY_OK(insertCargo(older.db(), 1, "V1", "1", "BL1"));
        const QStringList freshBefore = snapshot(fresh.db());
        QString said;
        for (const PatchInfo &p : Patches::all()) {
            QVERIFY2(patch(older, p.name, &said) == 0, qPrintable(p.name + QLatin1String(": ") + said));
            const QStringList once = snapshot(older.db());
            QVERIFY2(patch(older, p.name, &said) == 0, qPrintable(p.name + QLatin1String(" again: ") + said));
            QVERIFY2(snapshot(older.db()) == once, qPrintable(p.name));
            QVERIFY2(patch(fresh, p.name, &said) == 0, qPrintable(p.name + QLatin1String(" on a new database: ") + said));
            QVERIFY2(snapshot(fresh.db()) == freshBefore, qPrintable(p.name));
        }
        // the older database now is one of this release
        QCOMPARE(columnTypes(older.db(), "cargo"), columnTypes(fresh.db(), "cargo"));
        QCOMPARE(indexes(older.db(), "cargo"), indexes(fresh.db(), "cargo"));
    }

    // quarlctl for administrators: the message on stdout, 0 when applied or already applied.
    void commandLine()
    {
        const QString quarlctl = QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl");
        QVERIFY2(QFileInfo(quarlctl).isExecutable(), qPrintable(quarlctl + QLatin1String(" is not built")));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("old.qdb"));
        auto run = [&](const QStringList &args, QString *out, QString *err) {
            QProcess p;
            p.start(quarlctl, args);
            p.waitForFinished(60000);
            *out = QString::fromUtf8(p.readAllStandardOutput());
            *err = QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QString out, err;
        QCOMPARE(run({"init-db", "--legacy", file}, &out, &err), 0);
        const QList<std::tuple<QString, int, QString>> steps = {
            {"update-port-codes", 0, "Update Successful \n"},
            {"update-cargo-table", 0, "Unique index cargo on cargo(vslcode,voyno,blno) created.\n"},
            {"2.0.0", 0, "Software Patched Successfully ...\n"},
            {"2.0.1", 0, "Software Patched Successfully ...\n"},
            {"2.0.3", 0, "Software Patched Successfully ...\n"},
            {"column-widths", 0, "Column widths are now enforced.\n"},
            {"update-port-codes", 0, "Port Codes Already been Updated...\n"},
            {"update-cargo-table", 0, "Software already patched ...\n"},
            {"2.0.0", 0, "Software already patched ...\n"},
            {"2.0.1", 0, "Software already patched ...\n"},
            {"2.0.3", 0, "Software already patched ...\n"},
            {"column-widths", 0, "Column widths were already enforced.\n"},
        };
        for (const auto &[name, status, stdoutText] : steps) {
            QCOMPARE(run({"patch", name, "--db", file}, &out, &err), status);
            QCOMPARE(out, stdoutText);
        }
        QCOMPARE(run({"patch", "2.0.2", "--db", file}, &out, &err), 1);
        QVERIFY(err.contains(QLatin1String("update-port-codes")));
        QCOMPARE(run({"patch", "2.0.0", "--db", dir.filePath("missing.qdb")}, &out, &err), 1);
        QVERIFY(err.startsWith(QLatin1String("53  ")));
        QVERIFY(!QFileInfo::exists(dir.filePath("missing.qdb")));
    }
};

QUARL_TEST(TestPatches)
#include "tst_patches.moc"
