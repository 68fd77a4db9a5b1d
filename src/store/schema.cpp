#include "store/schema.h"

#include "store/cargokeys.h"
#include "store/cargolines.h"
#include "store/database.h"
#include "store/filingfields.h"
#include "store/filings.h"
#include "store/passwordhash.h"
#include "store/tablechanges.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>

#include <algorithm>

namespace quarl {

int TableDef::columnIndex(const QString &column) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (column.compare(QLatin1String(columns.at(i).name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const ColumnDef *TableDef::column(const QString &column) const
{
    const int i = columnIndex(column);
    return i < 0 ? nullptr : &columns.at(i);
}

QStringList TableDef::columnNames() const
{
    QStringList out;
    for (const ColumnDef &c : columns)
        out << QLatin1String(c.name);
    return out;
}

namespace Schema {

namespace {

using T = ColumnType;

ColumnDef text(const char *name, int size) { return {name, T::Text, size}; }
ColumnDef key(const char *name, int size) { return {name, T::Text, size, true}; }
ColumnDef integer(const char *name) { return {name, T::Integer, 4}; }
ColumnDef dbl(const char *name) { return {name, T::Double, 8}; }
ColumnDef date(const char *name) { return {name, T::Date, 8}; }
ColumnDef autoId(const char *name) { return {name, T::AutoId, 4, true}; }

// A column of release 2.2.0, as the filing table gives it.
ColumnDef filingColumn(const Filing::Field &f)
{
    switch (f.type) {
    case T::Integer: return integer(f.column);
    case T::Double: return dbl(f.column);
    case T::Date: return date(f.column);
    default: return text(f.column, f.width);
    }
}

void appendFilingColumns(TableDef &t)
{
    for (const Filing::Field *f : Filing::addedColumns(QLatin1String(t.name)))
        t.columns << filingColumn(*f);
}

TableDef codeList(const char *table, const char *code, int width, const char *description)
{
    return TableDef{table, {key(code, width), text(description, 60)}, {}};
}

TableDef filingRegister()
{
    return TableDef{Filings::Table,
                    {autoId("id"), text("vslcode", 10), text("voyno", 10), text("sender", 30), integer("jobno"),
                     date("jobdt"), text("msgtyp", 1), text("indicator", 1), text("filepath", 1000), text("sha256", 64),
                     integer("nlines"), integer("nhouses"), integer("ncontainers"), text("quser", 50),
                     text("workstation", 64), text("writtenat", 19), text("state", 1), integer("nerrors"),
                     text("replyfile", 120), text("replyat", 19), integer("nnumbers"), text("reference", 35),
                     text("refdate", 20)},
                    {{Filings::VoyageIndex, "vslcode,voyno", false}, {Filings::JobIndex, "sender,jobno", false}}};
}

QList<TableDef> buildCompanyTables()
{
    QList<TableDef> t;
    t << TableDef{"vesinfo",
                  {autoId("Id"), text("MsgName", 10), text("MsgType", 10), text("IgmNo", 10), date("IgmDt"),
                   text("vslname", 35), text("vslcode", 10), text("voyno", 10), text("slinecode", 10),
                   text("sagentcode", 16), text("mastername", 30), text("vslnation", 2), text("portarrival", 6),
                   text("lastport", 6), text("lastport1", 6), text("lastport2", 6), dbl("grt"), dbl("nrt"),
                   text("vsltype", 10), integer("TotItems"), text("cargodesc", 30), date("arrdt"),
                   text("arrtime", 8), dbl("lhdues"), text("samebottom", 1), text("shipstoredecl", 1),
                   text("crewdecl", 1), text("pesslist", 1), text("creweffdecl", 1), text("maridecl", 1),
                   text("terminalop", 10), text("tocode", 10), text("arrportcd", 6)},
                  {{"vesinfo_voyage", "vslcode,voyno", false}}};
    appendFilingColumns(t.last());
    t << TableDef{"cargo",
                  {{"id", T::Integer, 4, true}, text("vslcode", 10), text("voyno", 10), integer("lineno"),
                   integer("sublineno"), text("blno", 20), date("bldt"), text("HBlNo", 20), date("HBlDt"),
                   text("portload", 6), text("portdest", 6), text("impname", 35), text("impadd1", 35),
                   text("impadd2", 35), text("impadd3", 35), text("notname", 35), text("notadd1", 35),
                   text("notadd2", 35), text("notadd3", 35), text("naturecargo", 2), text("itemtype", 2),
                   text("cargomove", 2), text("destcode", 10), integer("pkgs"), text("pkgtype", 3),
                   dbl("grosswt"), text("unitwt", 3), dbl("volume"), text("unitvol", 3), text("marks", 512),
                   text("gdesc", 250), text("unocode", 5), text("imocode", 5), dbl("tpregno"),
                   {"caccode", T::Char, 10}, {"trmode", T::Char, 1}, {"mlo", T::Char, 10}},
                  {{"cargo", "vslcode,voyno,blno", true}}};
    appendFilingColumns(t.last());
    // release 2.4.0: a house B/L's link to its master line
    t.last().columns << integer(HouseLinkColumn);
    t.last().indexes << IndexDef{HouseLinkIndex, HouseLinkColumn, false};
    // release 2.5.0: the number customs gave the line in its reply to the filing
    t.last().columns << text(Filings::NumberColumn, 20) << text(Filings::NumberTypeColumn, 4);
    // The container limits (10-11 characters, seal 15, agent 10 ...) are the cargo screen's
    // rules at save time; the columns are wider so that imports of other data are kept whole.
    t << TableDef{"contain",
                  {autoId("autoid"), integer("ref"), integer("lineno"), integer("sublineno"),
                   text("containno", 20), text("sealno", 20), text("agentcode", 20), text("constatus", 5),
                   integer("conpkgs"), dbl("conwt"), text("isocode", 10), text("socflag", 5)},
                  {{"contain_ref", "ref", false}}};
    appendFilingColumns(t.last());
    // The goods of a line, in the order of itemseq.
    t << TableDef{Filing::ItemTable, {autoId("autoid"), integer("ref")}, {{"cargoitem_ref", "ref", false}}};
    appendFilingColumns(t.last());
    // One row: the company's filing details and its job-number counter.
    t << TableDef{Filing::CompanyTable, {{"id", T::Integer, 4, true}}, {}};
    appendFilingColumns(t.last());
    // release 2.5.0: the register of the arrival manifests written for filing (store/filings.h)
    t << filingRegister();
    t << TableDef{"loguser",
                  {{"uid", T::Char, 50}, {"pwd", T::Char, 50}, {"urights", T::Char, 50}, {"mrights", T::Char, 150}},
                  {}};
    t << TableDef{"D_VESSEL_CD",
                  {key("VESSEL_CD", 10), text("VESSEL_NM", 35), text("VESSEL_NATION", 2), dbl("grt"), dbl("nrt"),
                   text("IMO_NO", 7)},
                  {}};
    t << TableDef{"D_PORT_CD", {key("PORT_CD", 6), text("PORT_NM", 100)}, {}};
    t << TableDef{"D_CNTRY_CD", {key("cntry_cd", 2), text("cntry_nm", 60)}, {}};
    t << TableDef{"D_ISO_CD", {key("iso_code", 4)}, {}};
    t << TableDef{"D_UNOIMCO", {key("uno_code", 5), text("imco_code", 5)}, {}};
    t << TableDef{"nature", {key("nat_cd", 2), text("nat_desc", 40)}, {}};
    t << TableDef{"itmtype", {key("ITM_cd", 2), text("itm_desc", 40)}, {}};
    t << TableDef{"cargomove", {key("cm_cd", 2), text("cm_desc", 40)}, {}};
    t << TableDef{"package", {key("pkg_cd", 3), text("pkg_desc", 40)}, {}};
    t << TableDef{"d_uqc", {key("uqc", 3)}, {}};
    t << TableDef{"constatus", {key("cs_cd", 3)}, {}};
    t << codeList("cargotype", "ct_cd", 2, "ct_desc");
    t << codeList("consind", "ci_cd", 4, "ci_desc");
    t << codeList("prevdec", "pd_cd", 4, "pd_desc");
    t << codeList("purpcall", "pc_cd", 3, "pc_desc");
    t << codeList("shiptype", "st_cd", 3, "st_desc");
    t << codeList("idcodetype", "idt_cd", 3, "idt_desc");
    t << codeList("sealtype", "seal_cd", 5, "seal_desc");
    t << codeList("eqtype", "eq_cd", 3, "eq_desc");
    t << codeList("D_STATE_CD", "state_cd", 2, "state_nm");
    return t;
}

QList<TableDef> buildSystemTables()
{
    return {TableDef{"DRCOMP",
                     {{"code", T::SmallInt, 2}, text("name", 50), text("add1", 50), text("add2", 50),
                      text("add3", 50), text("telephone", 30), text("dirname", 255)},
                     {}}};
}

} // namespace

const QList<TableDef> &companyTables()
{
    static const QList<TableDef> tables = buildCompanyTables();
    return tables;
}

const QList<TableDef> &systemTables()
{
    static const QList<TableDef> tables = buildSystemTables();
    return tables;
}

const TableDef *table(const QString &name)
{
    for (const QList<TableDef> *list : {&companyTables(), &systemTables()}) {
        for (const TableDef &t : *list) {
            if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
                return &t;
        }
    }
    return nullptr;
}

const QStringList &icdCargoColumns()
{
    static const QStringList columns = [] {
        QStringList names;
        const TableDef *cargo = table(QStringLiteral("cargo"));
        for (const ColumnDef &c : cargo->columns) {
            const Filing::Field *f = Filing::byColumn(QStringLiteral("cargo"), QLatin1String(c.name));
            const QLatin1String name(c.name);
            const bool later = name == QLatin1String(HouseLinkColumn) || name == QLatin1String(Filings::NumberColumn)
                            || name == QLatin1String(Filings::NumberTypeColumn);
            if ((!f || f->origin != Filing::Origin::Added) && !later)
                names << QLatin1String(c.name);
        }
        return names.mid(names.size() - 4);
    }();
    return columns;
}

const ColumnDef *column(const QString &tableName, const QString &columnName)
{
    const TableDef *t = table(tableName);
    return t ? t->column(columnName) : nullptr;
}

QList<std::pair<const char *, const char *>> icesColumns()
{
    return {{"D_VESSEL_CD", "IMO_NO"}, {"vesinfo", "tocode"}, {"vesinfo", "arrportcd"}};
}

QString createTableSql(const TableDef &table, const Dialect &dialect, bool widthChecks)
{
    QStringList cols;
    QStringList keys;
    for (const ColumnDef &c : table.columns) {
        cols << dialect.columnDdl(c, widthChecks);
        if (c.primaryKey && c.type != ColumnType::AutoId)
            keys << QLatin1String(c.name);
    }
    if (!keys.isEmpty())
        cols << QStringLiteral("primary key (%1)").arg(keys.join(QLatin1Char(',')));
    return QStringLiteral("create table %1 (%2)").arg(QLatin1String(table.name), cols.join(QStringLiteral(", ")));
}

QList<CodeMaster> codeMasters()
{
    return {{QStringLiteral("D_CNTRY_CD"), QStringLiteral(":/data/countries.tsv")},
            {QStringLiteral("D_PORT_CD"), QLatin1String(PortMaster)},
            {QStringLiteral("D_ISO_CD"), QStringLiteral(":/data/iso_sizetypes.tsv")},
            {QStringLiteral("D_UNOIMCO"), QStringLiteral(":/data/unoimco.tsv")},
            {QStringLiteral("nature"), QStringLiteral(":/data/nature.tsv")},
            {QStringLiteral("itmtype"), QStringLiteral(":/data/itmtype.tsv")},
            {QStringLiteral("cargomove"), QStringLiteral(":/data/cargomove.tsv")},
            {QStringLiteral("package"), QStringLiteral(":/data/package.tsv")},
            {QStringLiteral("d_uqc"), QStringLiteral(":/data/uqc.tsv")},
            {QStringLiteral("constatus"), QStringLiteral(":/data/constatus.tsv")},
            {QStringLiteral("cargotype"), QStringLiteral(":/data/cargotype.tsv")},
            {QStringLiteral("consind"), QStringLiteral(":/data/consind.tsv")},
            {QStringLiteral("prevdec"), QStringLiteral(":/data/prevdec.tsv")},
            {QStringLiteral("purpcall"), QStringLiteral(":/data/purpcall.tsv")},
            {QStringLiteral("shiptype"), QStringLiteral(":/data/shiptype.tsv")},
            {QStringLiteral("idcodetype"), QStringLiteral(":/data/idcodetype.tsv")},
            {QStringLiteral("sealtype"), QStringLiteral(":/data/sealtype.tsv")},
            {QStringLiteral("eqtype"), QStringLiteral(":/data/eqtype.tsv")},
            {QStringLiteral("D_STATE_CD"), QStringLiteral(":/data/states.tsv")}};
}

bool isFilingMaster(const QString &table)
{
    return Filing::addedTables().contains(table, Qt::CaseInsensitive) && Filing::addedColumns(table).isEmpty();
}

Result<QList<QStringList>> readCodeMaster(const QString &resource)
{
    QFile f(resource);
    if (!f.open(QIODevice::ReadOnly))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Code list %1 is missing.").arg(resource));
    QList<QStringList> rows;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        if (raw.trimmed().isEmpty() || raw.startsWith('#'))
            continue;
        QByteArray line = raw;
        if (line.endsWith('\r'))
            line.chop(1);
        QStringList fields;
        for (const QByteArray &field : line.split('\t'))
            fields << QString::fromUtf8(field);
        rows << fields;
    }
    return rows;
}

namespace {

Status insertRows(const Database &db, const TableDef &table, const QList<QStringList> &rows, bool legacyNames)
{
    const int n = int(table.columns.size());
    // Many rows a statement: the port master has some 18,000 of them.
    const int perStatement = std::max(1, 900 / n);
    const QString one = QLatin1Char('(') + QStringList(n, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    const bool ports = QLatin1String(table.name) == QLatin1String("D_PORT_CD");
    QSqlQuery q(db.handle());
    int prepared = 0;
    for (qsizetype start = 0; start < rows.size(); start += perStatement) {
        const int count = int(std::min<qsizetype>(perStatement, rows.size() - start));
        if (count != prepared) {
            const QString sql = QStringLiteral("insert into %1 values %2")
                                    .arg(QLatin1String(table.name), QStringList(count, one).join(QLatin1Char(',')));
            if (!q.prepare(sql))
                return db.failed(q.lastError());
            prepared = count;
        }
        int at = 0;
        for (qsizetype r = start; r < start + count; ++r) {
            const QStringList &row = rows.at(r);
            for (int i = 0; i < n; ++i) {
                QString v = row.value(i);
                if (ports && legacyNames && i == 1) {
                    const QString suffix = QLatin1Char('-') + row.value(0);
                    if (v.endsWith(suffix))
                        v.chop(suffix.size());
                }
                q.bindValue(at++, v);
            }
        }
        if (!q.exec())
            return db.failed(q.lastError());
    }
    return Status::ok();
}

Status createIndexes(const Database &db, const QString &table, const QList<IndexDef> &indexes)
{
    for (const IndexDef &ix : indexes) {
        const QString ddl = QStringLiteral("create %1index %2 on %3(%4)")
                                .arg(ix.unique ? QStringLiteral("unique ") : QString(),
                                     db.dialect().indexName(QLatin1String(ix.name)), table, QLatin1String(ix.columns));
        if (Status s = db.exec(ddl); !s)
            return s;
    }
    return Status::ok();
}

} // namespace

Status createTable(const Database &db, const TableDef &table)
{
    if (Status s = db.exec(createTableSql(table, db.dialect())); !s)
        return s;
    return createIndexes(db, QLatin1String(table.name), table.indexes);
}

Status fillCodeMaster(const Database &db, const CodeMaster &master)
{
    auto rows = readCodeMaster(master.resource);
    if (!rows)
        return rows.failure();
    return insertRows(db, *table(master.table), rows.value(), false);
}

Status createCompanyDatabase(const Database &db, CompanyOptions options)
{
    if (options.legacy)
        options.release210 = true;
    if (options.release210)
        options.release230 = true;
    if (options.release230)
        options.release240 = true;
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    for (const TableDef &t : companyTables()) {
        if (QLatin1String(t.name) == QLatin1String("loguser"))
            continue; // made by its own statement below
        if (options.release210 && Filing::addedTables().contains(QLatin1String(t.name)))
            continue;
        TableDef def = t;
        QList<IndexDef> indexes = t.indexes;
        if (options.release210) {
            def.columns.removeIf([&](const ColumnDef &c) {
                const Filing::Field *f = Filing::byColumn(QLatin1String(t.name), QLatin1String(c.name));
                return f && f->origin == Filing::Origin::Added;
            });
        }
        if (options.release240 && QLatin1String(t.name) == QLatin1String(Filings::Table))
            continue;
        if (options.release240 && QLatin1String(t.name) == QLatin1String("cargo")) {
            def.columns.removeIf([](const ColumnDef &c) {
                return QLatin1String(c.name) == QLatin1String(Filings::NumberColumn)
                    || QLatin1String(c.name) == QLatin1String(Filings::NumberTypeColumn);
            });
        }
        if (options.release230 && QLatin1String(t.name) == QLatin1String("cargo")) {
            def.columns.removeIf([](const ColumnDef &c) { return QLatin1String(c.name) == QLatin1String(HouseLinkColumn); });
            indexes.removeIf([](const IndexDef &ix) { return QLatin1String(ix.name) == QLatin1String(HouseLinkIndex); });
        }
        if (options.legacy && QLatin1String(t.name) == QLatin1String("cargo")) {
            def.columns = def.columns.mid(0, def.columns.size() - 4);
            indexes.clear();
        }
        if (options.legacy && QLatin1String(t.name) == QLatin1String("cargo"))
            def.columns[def.columnIndex(QStringLiteral("destcode"))].size = 6;
        if (options.legacy) {
            for (const auto &[table, column] : icesColumns()) {
                const QLatin1String name(column);
                if (QLatin1String(t.name) == QLatin1String(table))
                    def.columns.removeIf([&](const ColumnDef &c) { return QLatin1String(c.name) == name; });
            }
        }
        QString sql = createTableSql(def, db.dialect(), !options.legacy);
        if (options.legacy && QLatin1String(t.name) == QLatin1String("cargo")) {
            sql.chop(1);
            sql += QStringLiteral(", constraint BLNO unique (blno))");
        }
        if (Status s = db.exec(sql); !s)
            return s;
        if (Status s = createIndexes(db, QLatin1String(t.name), indexes); !s)
            return s;
    }
    if (Status s = db.exec(QLatin1String(CreateUserTable)); !s)
        return s;
    if (!options.legacy) {
        if (Status s = installCargoKeyCounter(db); !s)
            return s;
        bool changed = false;
        if (Status s = enforceWidths(db, QStringLiteral("loguser"), table(QStringLiteral("loguser"))->columns,
                                                  &changed);
            !s)
            return s;
    }
    if (Status s = insertDefaultUser(db, options.legacy); !s)
        return s;
    if (!options.release210) {
        if (Status s = insertCompanyRow(db); !s)
            return s;
    }
    for (const CodeMaster &cm : codeMasters()) {
        if (options.release210 && isFilingMaster(cm.table))
            continue;
        // older releases shipped the shorter port master
        const bool olderPorts = options.legacy && cm.resource == QLatin1String(PortMaster);
        auto rows = readCodeMaster(olderPorts ? QLatin1String(LegacyPortMaster) : cm.resource);
        if (!rows)
            return rows.failure();
        if (Status s = insertRows(db, *table(cm.table), rows.value(), options.legacy); !s)
            return s;
    }
    return tx.commit();
}

Status insertCompanyRow(const Database &db)
{
    return db.exec(QStringLiteral("insert into %1 (id, sbmtrtype, nextjobno) values (1, ?, 1)")
                       .arg(QLatin1String(Filing::CompanyTable)),
                   {QLatin1String(Filing::byKey(QStringLiteral("authPrsn.sbmtrTyp"))->fallback)});
}

Status insertDefaultUser(const Database &db, bool plainPassword)
{
    const QString password = QLatin1String(DefaultPassword);
    const QString stored = plainPassword ? password : PasswordHash::make(password);
    if (stored.isEmpty())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The password of the default user could not be hashed."));
    return db.exec(QStringLiteral("insert into loguser(uid,pwd,urights,mrights) values (?,?,' SU',' SU')"),
                   {QLatin1String(DefaultUserId), stored});
}

Status createSystemDatabase(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    for (const TableDef &t : systemTables()) {
        if (Status s = db.exec(createTableSql(t, db.dialect())); !s)
            return s;
    }
    return tx.commit();
}

} // namespace Schema
} // namespace quarl
