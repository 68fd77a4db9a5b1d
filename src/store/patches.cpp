#include "store/patches.h"

#include "store/cargokeys.h"
#include "store/cargolines.h"
#include "store/database.h"
#include "store/filingfields.h"
#include "store/filings.h"
#include "store/schema.h"
#include "store/tablechanges.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSet>
#include <QSqlRecord>
#include <tuple>

namespace quarl::Patches {

namespace {

PatchResult applied(const QString &message)
{
    return {PatchResult::Outcome::Applied, message, {}};
}

PatchResult alreadyApplied(const QString &message)
{
    return {PatchResult::Outcome::AlreadyApplied, message, {}};
}

PatchResult failed(const Failure &failure)
{
    return {PatchResult::Outcome::Failed, failure.numberAndText(), failure};
}

PatchResult failed(const Status &status)
{
    return failed(status.failure());
}

} // namespace

const QList<PatchInfo> &all()
{
    static const QList<PatchInfo> list = {
        {PatchId::UpdatePortCodes, QStringLiteral("update-port-codes"), QStringLiteral("Update Port Codes"),
         QStringLiteral("menHK"), 4, QStringLiteral("14")},
        {PatchId::UpdateCargoTable, QStringLiteral("update-cargo-table"), QStringLiteral("Update Cargo Table"),
         QStringLiteral("menHK"), 5, QStringLiteral("15")},
        {PatchId::CargoColumns, QStringLiteral("2.0.0"), QStringLiteral("Modify Cargo Table for ICD (TP) (2.0.0)"),
         QStringLiteral("menPatch"), 0, QString()},
        {PatchId::PortList201, QStringLiteral("2.0.1"), QStringLiteral("Insert New Location codes for ICD (2.0.1)"),
         QStringLiteral("menPatch"), 1, QString()},
        {PatchId::PortList203, QStringLiteral("2.0.3"), QStringLiteral("Insert New Location codes for ICD (2.0.3)"),
         QStringLiteral("menPatch"), 2, QString()},
        {PatchId::PortMaster210, QStringLiteral("2.1.0-ports"),
         QStringLiteral("Insert Sea Ports and Inland Depots of UN/LOCODE (2.1.0)"), QStringLiteral("menPatch"), 3,
         QString()},
        {PatchId::IcesColumns210, QStringLiteral("2.1.0"), QStringLiteral("Modify Tables for ICES 1.5 (2.1.0)"),
         QStringLiteral("menPatch"), 4, QString()},
        {PatchId::FilingColumns220, QStringLiteral("2.2.0"), QStringLiteral("Modify Tables for SCMTR Filing (2.2.0)"),
         QStringLiteral("menPatch"), 5, QString()},
        {PatchId::ColumnWidths, QStringLiteral("column-widths"), QStringLiteral("Enforce Column Widths"), QString(), -1,
         QString()},
        {PatchId::CargoKeys230, QStringLiteral("2.3.0"),
         QStringLiteral("Keys of Bills of Lading Never Used Twice (2.3.0)"), QStringLiteral("menPatch"), 6, QString()},
        {PatchId::HouseLinks240, QStringLiteral("2.4.0"),
         QStringLiteral("Link House B/Ls to Their Master Lines (2.4.0)"), QStringLiteral("menPatch"), 7, QString()},
        {PatchId::FilingRegister250, QStringLiteral("2.5.0"), QStringLiteral("Keep a Register of SAM Filings (2.5.0)"),
         QStringLiteral("menPatch"), 8, QString()},
    };
    return list;
}

const PatchInfo *info(PatchId id)
{
    for (const PatchInfo &p : all()) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

const PatchInfo *find(const QString &name)
{
    for (const PatchInfo &p : all()) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

PatchResult run(PatchId id, const Database &db)
{
    switch (id) {
    case PatchId::UpdatePortCodes:
        return updatePortCodes(db);
    case PatchId::UpdateCargoTable:
        return updateCargoTable(db);
    case PatchId::CargoColumns:
        return addCargoColumns(db);
    case PatchId::PortList201:
        return insertPortList(db, QStringLiteral(":/data/ports_2_0_1.tsv"), PortList201Threshold);
    case PatchId::PortList203:
        return insertPortList(db, QStringLiteral(":/data/ports_2_0_3.tsv"), PortList203Threshold);
    case PatchId::PortMaster210:
        return completePortMaster(db);
    case PatchId::IcesColumns210:
        return addIcesColumns(db);
    case PatchId::FilingColumns220:
        return addFilingColumns(db);
    case PatchId::ColumnWidths:
        return enforceColumnWidths(db);
    case PatchId::CargoKeys230:
        return addCargoKeyCounter(db);
    case PatchId::HouseLinks240:
        return addHouseLinks(db);
    case PatchId::FilingRegister250:
        return addFilingRegister(db);
    }
    return failed(Failure(ErrorNumber::InvalidArgument, QStringLiteral("Unknown patch.")));
}

PatchResult updatePortCodes(const Database &db)
{
    const Dialect &d = db.dialect();
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    auto hyphenated = db.scalar(QStringLiteral("select count(*) from d_port_cd where %1 > 0")
                                    .arg(d.position(QStringLiteral("'-'"), QStringLiteral("port_nm"))));
    if (!hyphenated)
        return failed(hyphenated.failure());
    if (hyphenated->toLongLong() > CorrectedNamesThreshold)
        return alreadyApplied(QLatin1String(PortCodesAlreadyUpdated));

    // A name that already ends in "-" + its code (a row of the port lists, or one corrected
    // before) is left alone, so that it does not get the code twice.
    const QString notCorrected = QStringLiteral(
        "not (length(rtrim(port_nm)) > length(port_cd) "
        "and substr(rtrim(port_nm), length(rtrim(port_nm)) - length(port_cd)) = ('-' || port_cd))");
    const QString code = d.firstCharCode(QStringLiteral("port_nm"));
    // Only the first character goes, once: a name that began with two blanks keeps one.
    const QString dropFirst = QStringLiteral("update d_port_cd set port_nm = substr(port_nm, 2) "
                                             "where (%1 > 90 or %1 < 65) and %2")
                                  .arg(code, notCorrected);
    const QString appendCode =
        QStringLiteral("update d_port_cd set port_nm = rtrim(port_nm) || '-' || port_cd where %1").arg(notCorrected);
    for (const QString &sql : {dropFirst, appendCode}) {
        if (Status s = db.exec(sql); !s)
            return failed(s);
    }
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(UpdateSuccessful));
}

PatchResult updateCargoTable(const Database &db)
{
    const Dialect &d = db.dialect();
    const QString index = d.indexName(QStringLiteral("cargo"));
    // Without the old constraint nothing would stop a duplicate, so dropping it counts only
    // together with the new index.
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    const Result<bool> old = hasConstraint(db, QStringLiteral("CARGO"), QStringLiteral("BLNO"));
    if (!old)
        return failed(old.failure());
    const Result<bool> unique = hasUniqueIndex(db, QStringLiteral("cargo"), index,
                                               {QStringLiteral("vslcode"), QStringLiteral("voyno"), QStringLiteral("blno")});
    if (!unique)
        return failed(unique.failure());
    if (!old.value() && unique.value())
        return alreadyApplied(QLatin1String(AlreadyPatched));
    if (old.value()) {
        if (Status s = dropConstraint(db, QStringLiteral("CARGO"), QStringLiteral("BLNO")); !s)
            return failed(s);
    }
    if (!unique.value()) {
        if (Status s = db.exec(QStringLiteral("create unique index %1 on cargo(vslcode,voyno,blno)").arg(index)); !s)
            return failed(s);
    }
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QString());
}

PatchResult addCargoColumns(const Database &db)
{
    int columns = 0;
    {
        // The columns of "select * from cargo", without fetching its rows.
        auto q = db.query(QStringLiteral("select * from cargo where 1 = 0"));
        if (!q)
            return failed(q.failure());
        columns = q->record().count();
    }
    if (columns >= PatchedCargoColumns)
        return alreadyApplied(QLatin1String(AlreadyPatched));

    QList<ColumnDef> added;
    for (const QString &name : Schema::icdCargoColumns())
        added << *Schema::column(QStringLiteral("cargo"), name);
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    // SQLite tests every check of the table against every row when a column with a check is
    // added: rows already longer than a column (kept by the width upgrade) must not stop it.
    const bool sqlite = db.engine() == Engine::SQLite;
    if (sqlite) {
        if (Status s = db.exec(QStringLiteral("pragma ignore_check_constraints = on")); !s)
            return failed(s);
    }
    Status status = Status::ok();
    for (const QString &sql : db.dialect().addColumnsSql(QStringLiteral("cargo"), added)) {
        status = db.exec(sql);
        if (!status)
            break;
    }
    if (sqlite)
        std::ignore = db.exec(QStringLiteral("pragma ignore_check_constraints = off")); // per connection; the status below decides
    if (!status)
        return failed(status);
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult enforceColumnWidths(const Database &db)
{
    constexpr int ShownKeys = 5;
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    QStringList tooLong;
    bool changed = false;
    for (const TableDef &t : Schema::companyTables()) {
        const QString table = QLatin1String(t.name);
        if (!db.hasTable(table))
            continue;
        const QStringList present = db.columnNames(table);
        QList<ColumnDef> columns;
        for (const ColumnDef &c : t.columns) {
            if (c.isText() && present.contains(QLatin1String(c.name), Qt::CaseInsensitive))
                columns << c;
        }
        const QString key = QLatin1String(t.columns.first().name);
        QList<ColumnDef> checked;
        for (const ColumnDef &c : columns) {
            auto q = db.query(QStringLiteral("select %1 from %2 where length(%3) > ? order by 1")
                                  .arg(key, table, QLatin1String(c.name)),
                              {c.size});
            if (!q)
                return failed(q.failure());
            QStringList keys;
            qint64 rows = 0;
            while (q->next()) {
                if (++rows <= ShownKeys)
                    keys << q->value(0).toString().trimmed();
            }
            // PostgreSQL checks every constraint on every change of a row: a column with such
            // rows gets its check once they are shortened and the command runs again.
            if (rows == 0 || db.engine() != Engine::PostgreSQL)
                checked << c;
            if (rows > 0)
                tooLong << QStringLiteral("%1.%2 (at most %3 characters): %4 row(s), %5 %6%7")
                               .arg(table, QLatin1String(c.name))
                               .arg(c.size)
                               .arg(rows)
                               .arg(key, keys.join(QStringLiteral(", ")),
                                    rows > ShownKeys ? QStringLiteral(" ...") : QString());
        }
        if (Status s = enforceWidths(db, table, checked, &changed); !s)
            return failed(s);
    }
    if (Status s = tx.commit(); !s)
        return failed(s);
    QString message = QLatin1String(changed ? WidthsEnforced : WidthsAlreadyEnforced);
    if (!tooLong.isEmpty())
        message += QStringLiteral("\nThese rows hold longer values already; they are kept as they are, and their "
                                  "values are refused when saved again until shortened%1:\n")
                       .arg(db.engine() == Engine::PostgreSQL
                                ? QStringLiteral(" (these columns take their width when the command runs again "
                                                 "after that)")
                                : QString())
                   + tooLong.join(QLatin1Char('\n'));
    return changed ? applied(message) : alreadyApplied(message);
}

PatchResult insertPortList(const Database &db, const QString &resource, int threshold)
{
    auto rows = Schema::readCodeMaster(resource);
    if (!rows)
        return failed(rows.failure());
    if (rows->isEmpty())
        return failed(Failure(ErrorNumber::BadFileFormat, QStringLiteral("Code list %1 is empty.").arg(resource)));
    // Made before the transaction so that it is freed after a rollback: PostgreSQL
    // refuses to free a statement inside a failed transaction.
    QSqlQuery insert(db.handle());
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    auto total = db.scalar(QStringLiteral("select count(port_cd) as totport from d_port_cd"));
    if (!total)
        return failed(total.failure());
    if (total->toLongLong() > threshold)
        return alreadyApplied(QLatin1String(AlreadyPatched));

    // The threshold stands for a port master of the size the lists were made for; a
    // smaller master that holds every code of the list has it already too.
    QVariantList codes;
    for (const QStringList &row : rows.value())
        codes << row.value(0);
    const QString marks = QStringList(codes.size(), QStringLiteral("?")).join(QLatin1Char(','));
    auto present = db.scalar(QStringLiteral("select count(distinct port_cd) from d_port_cd where port_cd in (%1)").arg(marks),
                             codes);
    if (!present)
        return failed(present.failure());
    if (present->toLongLong() == codes.size())
        return alreadyApplied(QLatin1String(AlreadyPatched));

    if (!insert.prepare(QStringLiteral("INSERT INTO D_PORT_CD VALUES(?,?)")))
        return failed(db.failed(insert.lastError()));
    for (const QStringList &row : rows.value()) {
        insert.bindValue(0, row.value(0));
        insert.bindValue(1, row.value(1));
        if (!insert.exec())
            return failed(db.failed(insert.lastError()));
    }
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult completePortMaster(const Database &db)
{
    auto rows = Schema::readCodeMaster(QLatin1String(Schema::PortMaster));
    if (!rows)
        return failed(rows.failure());
    QSqlQuery insert(db.handle()); // freed after the transaction (see insertPortList)
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    const Dialect &d = db.dialect();
    auto total = db.scalar(QStringLiteral("select count(*) from d_port_cd"));
    if (!total)
        return failed(total.failure());
    auto hyphenated = db.scalar(QStringLiteral("select count(*) from d_port_cd where %1 > 0")
                                    .arg(d.position(QStringLiteral("'-'"), QStringLiteral("port_nm"))));
    if (!hyphenated)
        return failed(hyphenated.failure());
    // The name correction stops once many names are hyphenated: the older names must be
    // corrected before the new rows make them look corrected.
    if (total->toLongLong() > 0 && hyphenated->toLongLong() <= CorrectedNamesThreshold)
        return {PatchResult::Outcome::Failed, QLatin1String(NamesNotCorrected),
                Failure(ErrorNumber::InvalidArgument, QLatin1String(NamesNotCorrected))};

    QSet<QString> present;
    {
        auto q = db.query(QStringLiteral("select port_cd from d_port_cd"));
        if (!q)
            return failed(q.failure());
        while (q->next())
            present.insert(q->value(0).toString().trimmed().toUpper());
    }
    if (!insert.prepare(QStringLiteral("INSERT INTO D_PORT_CD VALUES(?,?)")))
        return failed(Database::failureOf(insert.lastError()));
    int added = 0;
    for (const QStringList &row : rows.value()) {
        if (present.contains(row.value(0).toUpper()))
            continue;
        insert.bindValue(0, row.value(0));
        insert.bindValue(1, row.value(1));
        if (!insert.exec())
            return failed(Database::failureOf(insert.lastError()));
        ++added;
    }
    if (added == 0)
        return alreadyApplied(QLatin1String(AlreadyPatched));
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult addIcesColumns(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    bool changed = false;
    QString table;
    QList<ColumnDef> missing;
    auto addMissing = [&]() -> Status {
        if (missing.isEmpty())
            return Status::ok();
        changed = true;
        for (const QString &sql : db.dialect().addColumnsSql(table, missing)) {
            if (Status s = db.exec(sql); !s)
                return s;
        }
        missing.clear();
        return Status::ok();
    };
    for (const auto &[t, column] : Schema::icesColumns()) {
        if (table != QLatin1String(t)) {
            if (Status s = addMissing(); !s)
                return failed(s);
            table = QLatin1String(t);
        }
        auto q = db.query(QStringLiteral("select * from %1 where 1 = 0").arg(table));
        if (!q)
            return failed(q.failure());
        if (q->record().indexOf(QLatin1String(column)) < 0)
            missing << *Schema::column(table, QLatin1String(column));
    }
    if (Status s = addMissing(); !s)
        return failed(s);
    // the CFS code of today's layout has 10 characters (port code + 4)
    const ColumnDef &dest = *Schema::column(QStringLiteral("cargo"), QStringLiteral("destcode"));
    auto width = declaredTextSize(db, QStringLiteral("cargo"), QLatin1String(dest.name));
    if (!width)
        return failed(width.failure());
    if (width.value() > 0 && width.value() < dest.size) {
        if (Status s = changeColumnType(db, QStringLiteral("cargo"), dest); !s)
            return failed(s);
        changed = true;
    }

    const QList<std::pair<const char *, const char *>> natures = {{"LB", "Liquid Bulk"}, {"DB", "Dry Bulk"}};
    for (const auto &[code, name] : natures) {
        auto n = db.scalar(QStringLiteral("select count(*) from nature where nat_cd = ?"), {QLatin1String(code)});
        if (!n)
            return failed(n.failure());
        if (n->toLongLong() > 0)
            continue;
        if (Status s = db.exec(QStringLiteral("insert into nature (nat_cd, nat_desc) values (?, ?)"),
                               {QLatin1String(code), QLatin1String(name)});
            !s)
            return failed(s);
        changed = true;
    }
    auto gc = db.scalar(QStringLiteral("select count(*) from itmtype where ITM_cd = 'GC' and itm_desc = 'General Cargo'"));
    if (!gc)
        return failed(gc.failure());
    if (gc->toLongLong() > 0) {
        if (Status s = db.exec(QStringLiteral(
                "update itmtype set itm_desc = 'Government Cargo' where ITM_cd = 'GC' and itm_desc = 'General Cargo'"));
            !s)
            return failed(s);
        changed = true;
    }
    if (!changed)
        return alreadyApplied(QLatin1String(AlreadyPatched));
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult addFilingColumns(const Database &db)
{
    const QStringList cargo = db.columnNames(QStringLiteral("cargo"));
    const QStringList vesinfo = db.columnNames(QStringLiteral("vesinfo"));
    if (!cargo.contains(QStringLiteral("mlo"), Qt::CaseInsensitive)
        || !vesinfo.contains(QStringLiteral("arrportcd"), Qt::CaseInsensitive))
        return {PatchResult::Outcome::Failed, QLatin1String(EarlierUpgradesFirst),
                Failure(ErrorNumber::InvalidArgument, QLatin1String(EarlierUpgradesFirst))};

    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    bool changed = false;
    // Rows longer than a column's width (kept by the width upgrade) must not stop a new
    // column: SQLite tests every check of the table when one is added (see addCargoColumns).
    const bool sqlite = db.engine() == Engine::SQLite;
    if (sqlite) {
        if (Status s = db.exec(QStringLiteral("pragma ignore_check_constraints = on")); !s)
            return failed(s);
    }
    auto apply = [&]() -> Status {
        for (const char *table : {"vesinfo", "cargo", "contain"}) {
            const QString t = QLatin1String(table);
            const QStringList present = db.columnNames(t);
            QList<ColumnDef> missing;
            for (const Filing::Field *f : Filing::addedColumns(t)) {
                if (!present.contains(QLatin1String(f->column), Qt::CaseInsensitive))
                    missing << *Schema::column(t, QLatin1String(f->column));
            }
            for (const QString &sql : db.dialect().addColumnsSql(t, missing)) {
                if (Status s = db.exec(sql); !s)
                    return s;
                changed = true;
            }
        }
        for (const QString &t : Filing::addedTables()) {
            if (db.hasTable(t))
                continue;
            if (Status s = Schema::createTable(db, *Schema::table(t)); !s)
                return s;
            changed = true;
            if (t == QLatin1String(Filing::CompanyTable)) {
                if (Status s = Schema::insertCompanyRow(db); !s)
                    return s;
            }
            for (const Schema::CodeMaster &cm : Schema::codeMasters()) {
                if (cm.table.compare(t, Qt::CaseInsensitive) == 0) {
                    if (Status s = Schema::fillCodeMaster(db, cm); !s)
                        return s;
                }
            }
        }
        return Status::ok();
    };
    const Status status = apply();
    if (sqlite)
        std::ignore = db.exec(QStringLiteral("pragma ignore_check_constraints = off")); // per connection; the status below decides
    if (!status)
        return failed(status);
    if (!changed)
        return alreadyApplied(QLatin1String(AlreadyPatched));
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult addCargoKeyCounter(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    auto there = hasCargoKeyCounter(db);
    if (!there)
        return failed(there.failure());
    if (there.value())
        return alreadyApplied(QLatin1String(AlreadyPatched));
    if (Status s = installCargoKeyCounter(db); !s)
        return failed(s);
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult addHouseLinks(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    auto there = keepsHouseLinks(db);
    if (!there)
        return failed(there.failure());
    if (there.value())
        return alreadyApplied(QLatin1String(AlreadyPatched));
    auto columns = db.columnList(QStringLiteral("cargo"));
    if (!columns)
        return failed(columns.failure());
    if (!columns->contains(QStringLiteral("consind"), Qt::CaseInsensitive))
        return {PatchResult::Outcome::Failed, QLatin1String(FilingUpgradeFirst),
                Failure(ErrorNumber::InvalidArgument, QLatin1String(FilingUpgradeFirst))};
    const TableDef &cargo = *Schema::table(QStringLiteral("cargo"));
    for (const QString &sql : db.dialect().addColumnsSql(QStringLiteral("cargo"), {*cargo.column(QLatin1String(HouseLinkColumn))})) {
        if (Status s = db.exec(sql); !s)
            return failed(s);
    }
    if (Status s = db.exec(QStringLiteral("create index %1 on cargo(%2)")
                               .arg(db.dialect().indexName(QLatin1String(Schema::HouseLinkIndex)), QLatin1String(HouseLinkColumn)));
        !s)
        return failed(s);
    if (auto linked = linkHousesByNumber(db); !linked)
        return failed(linked.failure());
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

PatchResult addFilingRegister(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return failed(tx.started());
    auto linked = keepsHouseLinks(db);
    if (!linked)
        return failed(linked.failure());
    if (!linked.value())
        return {PatchResult::Outcome::Failed, QLatin1String(HouseLinksFirst),
                Failure(ErrorNumber::InvalidArgument, QLatin1String(HouseLinksFirst))};
    auto columns = db.columnList(QStringLiteral("cargo"));
    if (!columns)
        return failed(columns.failure());
    auto registerKept = Filings::kept(db);
    if (!registerKept)
        return failed(registerKept.failure());
    bool changed = false;
    // Rows longer than a column's width (kept by the width upgrade) must not stop a new
    // column: SQLite tests every check of the table when one is added (see addCargoColumns).
    const bool sqlite = db.engine() == Engine::SQLite;
    if (sqlite) {
        if (Status s = db.exec(QStringLiteral("pragma ignore_check_constraints = on")); !s)
            return failed(s);
    }
    auto apply = [&]() -> Status {
        const TableDef &cargo = *Schema::table(QStringLiteral("cargo"));
        QList<ColumnDef> missing;
        for (const char *c : {Filings::NumberColumn, Filings::NumberTypeColumn}) {
            if (!columns->contains(QLatin1String(c), Qt::CaseInsensitive))
                missing << *cargo.column(QLatin1String(c));
        }
        for (const QString &sql : db.dialect().addColumnsSql(QStringLiteral("cargo"), missing)) {
            if (Status s = db.exec(sql); !s)
                return s;
            changed = true;
        }
        if (!registerKept.value()) {
            if (Status s = Schema::createTable(db, *Schema::table(QLatin1String(Filings::Table))); !s)
                return s;
            changed = true;
        }
        return Status::ok();
    };
    const Status status = apply();
    if (sqlite)
        std::ignore = db.exec(QStringLiteral("pragma ignore_check_constraints = off")); // per connection; the status below decides
    if (!status)
        return failed(status);
    if (!changed)
        return alreadyApplied(QLatin1String(AlreadyPatched));
    if (Status s = tx.commit(); !s)
        return failed(s);
    return applied(QLatin1String(SoftwarePatched));
}

} // namespace quarl::Patches
