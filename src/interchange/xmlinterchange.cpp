#include "interchange/xmlinterchange.h"

#include "interchange/rowsetxml.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "store/cargokeys.h"
#include "store/cargolines.h"
#include "store/filings.h"
#include "store/database.h"
#include "store/filingfields.h"
#include "store/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <optional>

namespace quarl::igm {

XmlExportResult WriteXmlFiles(const Database &db, const QString &cargoPath, const QString &containerPath,
                              const QString &vessel, const QString &voyage, const QString &itemsPath)
{
    XmlExportResult result;
    // Both selections see the same data.
    Transaction tx(db, TxMode::Read);
    if (!tx.started()) {
        result.outcome = Outcome::failed(tx.started().failure());
        return result;
    }
    {
        auto q = db.query(QStringLiteral("select * from cargo where vslcode = ? and voyno = ? order by id"),
                          {vessel, voyage});
        if (!q) {
            result.outcome = Outcome::failed(q.failure());
            return result;
        }
        if (Status s = Rowset::write(db, QStringLiteral("cargo"), q.value(), cargoPath, &result.lines); !s) {
            result.outcome = Outcome::failed(s.failure());
            return result;
        }
        result.cargoPath = cargoPath;
    }
    if (result.lines == 0) {
        result.outcome = Outcome::refused(QLatin1String(Messages::NoVoyage));
        return result;
    }
    auto q = db.query(QStringLiteral("select contain.* from contain inner join cargo on contain.ref = cargo.id "
                                     "where cargo.vslcode = ? and cargo.voyno = ? order by cargo.id, contain.autoid"),
                      {vessel, voyage});
    if (!q) {
        result.outcome = Outcome::failed(q.failure());
        return result;
    }
    if (Status s = Rowset::write(db, QStringLiteral("contain"), q.value(), containerPath, &result.containers); !s) {
        result.outcome = Outcome::failed(s.failure());
        return result;
    }
    result.containerPath = containerPath;
    if (!itemsPath.isEmpty() && db.hasTable(QLatin1String(Filing::ItemTable))) {
        auto items = db.query(QStringLiteral("select cargoitem.*, cargo.blno from cargoitem inner join cargo on "
                                             "cargoitem.ref = cargo.id where cargo.vslcode = ? and cargo.voyno = ? "
                                             "order by cargo.id, cargoitem.itemseq, cargoitem.autoid"),
                              {vessel, voyage});
        if (!items) {
            result.outcome = Outcome::failed(items.failure());
            return result;
        }
        if (Status s = Rowset::write(db, QLatin1String(Filing::ItemTable), items.value(), itemsPath, &result.items); !s) {
            result.outcome = Outcome::failed(s.failure());
            return result;
        }
        result.itemsPath = itemsPath;
    }
    result.outcome = Outcome::done();
    if (result.containers == 0)
        result.outcome.notices << QLatin1String(Messages::NoContainers);
    return result;
}

XmlExportResult generateXmlFiles(const Database &db, const QString &folder, const QString &vessel,
                                 const QString &voyage)
{
    const QString cargoPath = QDir(folder).absoluteFilePath(QLatin1String(CargoXmlFileName));
    const QString containerPath = QDir(folder).absoluteFilePath(QLatin1String(ContainerXmlFileName));
    const QString itemsPath = QDir(folder).absoluteFilePath(QLatin1String(ItemXmlFileName));
    for (const QString &p : {cargoPath, containerPath, itemsPath}) {
        if (QFileInfo::exists(p) && !QFile::remove(p)) {
            XmlExportResult r;
            r.outcome = Outcome::failed(
                Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot replace the earlier file %1.").arg(p)));
            return r;
        }
    }
    XmlExportResult r = WriteXmlFiles(db, cargoPath, containerPath, vessel, voyage, itemsPath);
    if (r.outcome.isOk())
        r.outcome.message = QLatin1String(Messages::FilePrefix) + cargoPath
                            + QLatin1String(Messages::SavedInProgramFolder);
    return r;
}

namespace {

// One input file matched to the columns of its table.
struct Binding
{
    QStringList columns;    // the table's columns that are stored, in table order
    QList<int> fileIndex;   // for each, its position in the file's columns, -1 when absent
    QList<const ColumnDef *> defs;
};

bool sameColumn(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

Binding bind(const Database &db, const char *table, const QList<Rowset::Column> &fileColumns,
             const QString &fileName, const QStringList &skip, QStringList *notices,
             const QStringList &fileOnly = {})
{
    Binding b;
    const QString t = QLatin1String(table);
    QStringList present = db.columnNames(t);
    for (const QString &c : present) {
        if (skip.contains(c, Qt::CaseInsensitive))
            continue;
        const ColumnDef *def = Schema::column(t, c);
        b.columns << (def ? QLatin1String(def->name) : c);
        b.defs << def;
        int at = -1;
        for (int i = 0; i < fileColumns.size(); ++i) {
            if (sameColumn(fileColumns.at(i).name, c)) {
                at = i;
                break;
            }
        }
        b.fileIndex << at;
    }
    for (const Rowset::Column &fc : fileColumns) {
        bool known = false;
        for (const QString &c : present + fileOnly)
            known = known || sameColumn(fc.name, c);
        if (!known)
            notices->append(QStringLiteral("Column %1 of %2 is not in this database and was not imported.")
                                .arg(fc.name, fileName));
    }
    return b;
}

int fileColumn(const QList<Rowset::Column> &columns, const char *name)
{
    for (int i = 0; i < columns.size(); ++i) {
        if (sameColumn(columns.at(i).name, QLatin1String(name)))
            return i;
    }
    return -1;
}

// The text of a file value as the column's value.
bool toValue(const Database &db, const ColumnDef *def, const QString &text, QVariant *value)
{
    const ColumnType type = def ? def->type : ColumnType::Text;
    switch (type) {
    case ColumnType::Text:
    case ColumnType::Char:
        *value = text;
        return true;
    case ColumnType::AutoId:
    case ColumnType::SmallInt:
    case ColumnType::Integer: {
        double v = 0;
        if (!Format::parseStoredNumber(text, &v) || std::trunc(v) != v || std::fabs(v) > 2147483647.0)
            return false;
        *value = qint64(v);
        return true;
    }
    case ColumnType::Double: {
        double v = 0;
        if (!Format::parseStoredNumber(text, &v))
            return false;
        *value = v;
        return true;
    }
    case ColumnType::Date: {
        const QString t = text.trimmed();
        QDate d = QDate::fromString(t.left(10), Qt::ISODate);
        if (!d.isValid() || (t.size() > 10 && t.at(10) != QLatin1Char('T') && t.at(10) != QLatin1Char(' ')))
            return false;
        *value = db.dialect().dateToDb(d);
        return true;
    }
    }
    return false;
}

class XmlImporter
{
public:
    XmlImporter(const Database &db, const QString &vessel, const QString &voyage)
        : m_db(db), m_vessel(Format::voyageKey(vessel)), m_voyage(Format::voyageKey(voyage))
    {
    }
    XmlImportResult run(const QString &cargoPath, const QString &containerPath, QString itemsPath);

private:
    struct NewLine
    {
        qint64 id;
        QString bill;
    };
    // A line as stored, for the links of its house B/Ls.
    struct StoredLine
    {
        qint64 id;
        QString bill;
        qint64 line, sub;
        std::optional<qint64> master; // the old key of its master, as the file names it
    };
    static Status prepareInsert(QSqlQuery &insert, const char *table, const QStringList &columns);
    // Binds the row's values of the binding's columns from position first on, each checked
    // against its column.
    Status bindRow(QSqlQuery &insert, int first, const Binding &binding, const QList<Rowset::Value> &row,
                   const char *fileName, qint64 fileLine) const;
    // The lines of the cargo file, each under a new key; a result when the import stops.
    std::optional<XmlImportResult> importLines(Rowset::Reader &cargo, const Binding &binding, QSqlQuery &insert,
                                               qint64 nextKey, QHash<qint64, NewLine> &renumbered,
                                               std::vector<StoredLine> &stored, XmlImportResult &result);
    // Each house B/L linked to its master's new key: as the file links them, or in a file
    // of a release before the link by their numbers.
    Status linkHouses(const std::vector<StoredLine> &stored, bool fileLinks, const QHash<qint64, NewLine> &renumbered);
    // The containers of the container file, each to its line's new key.
    Status importContainers(Rowset::Reader &containers, const Binding &binding, QSqlQuery &insert,
                            const QHash<qint64, NewLine> &renumbered, XmlImportResult &result);
    // The goods items of the file at path, each to its line's new key, after the lines.
    Status importItems(const QString &path, const QHash<qint64, NewLine> &renumbered, QSqlQuery &insert,
                       XmlImportResult &result, QStringList *notices);

    XmlImportResult failed(const Failure &f)
    {
        XmlImportResult r;
        r.outcome = Outcome::failed(f, f.numberAndText() + QLatin1String(Messages::BillSuffix) + m_bill);
        return r;
    }
    // A text longer than its column: refused on both engines alike, before the engine sees it.
    static bool tooLong(const ColumnDef *def, const QString &text)
    {
        return def && def->isText() && text.size() > def->size;
    }
    Failure longValue(const char *fileName, const QString &column, const ColumnDef *def, const QString &text,
                      qint64 line) const
    {
        return Failure(QStringLiteral("22001"),
                       QStringLiteral("Value too long: %1 of %2 (line %3) holds %4 characters; the column takes at "
                                      "most %5.")
                           .arg(column, QLatin1String(fileName))
                           .arg(line)
                           .arg(text.size())
                           .arg(def->size));
    }
    Failure mismatch(const char *fileName, const QString &column, const QString &text) const
    {
        return Failure(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch: %1 of %2 holds \"%3\".")
                                                    .arg(column, QLatin1String(fileName), text));
    }

    const Database &m_db;
    QString m_vessel;
    QString m_voyage;
    QString m_bill; // of the line being stored, for the message
};

XmlImportResult XmlImporter::run(const QString &cargoPath, const QString &containerPath, QString itemsPath)
{
    XmlImportResult result;
    QStringList notices;
    Rowset::Reader cargo;
    Rowset::Reader containers;
    if (Status s = cargo.open(cargoPath); !s)
        return failed(s.failure());
    if (Status s = containers.open(containerPath); !s)
        return failed(s.failure());

    if (fileColumn(cargo.columns(), "id") < 0 || fileColumn(cargo.columns(), "vslcode") < 0
        || fileColumn(cargo.columns(), "voyno") < 0)
        return failed(Failure(ErrorNumber::BadFileFormat,
                              QStringLiteral("%1 has no id, vslcode or voyno column: it is not an exported cargo file.")
                                  .arg(cargoPath)));
    if (fileColumn(containers.columns(), "ref") < 0)
        return failed(Failure(ErrorNumber::BadFileFormat,
                              QStringLiteral("%1 has no ref column: it is not an exported container file.")
                                  .arg(containerPath)));

    // The link names an old key: stored once every line has its new one.
    // The numbers customs gave the lines belong to the filing of the company that made the
    // file: they are not taken over.
    const QStringList customsNumbers{QLatin1String(Filings::NumberColumn), QLatin1String(Filings::NumberTypeColumn)};
    const Binding cargoBinding = bind(m_db, "cargo", cargo.columns(), QLatin1String(CargoXmlFileName),
                                      QStringList{QStringLiteral("id"), QLatin1String(HouseLinkColumn)} + customsNumbers,
                                      &notices, customsNumbers);
    const Result<bool> linksKept = keepsHouseLinks(m_db);
    if (!linksKept)
        return failed(linksKept.failure());
    const Binding containerBinding = bind(m_db, "contain", containers.columns(),
                                          QLatin1String(ContainerXmlFileName),
                                          {QStringLiteral("autoid"), QStringLiteral("ref"), QStringLiteral("sublineno")},
                                          &notices);

    // Declared before the transaction, so that they are released after it has ended.
    QSqlQuery insertCargo(m_db.handle());
    QSqlQuery insertContainer(m_db.handle());
    QSqlQuery insertItem(m_db.handle());
    Transaction tx(m_db);
    if (!tx.started())
        return failed(tx.started().failure());
    auto next = nextCargoId(m_db);
    if (!next)
        return failed(next.failure());

    if (Status s = prepareInsert(insertCargo, "cargo", QStringList{QStringLiteral("id")} + cargoBinding.columns); !s)
        return failed(s.failure());
    QHash<qint64, NewLine> renumbered; // old id to the new one
    std::vector<StoredLine> stored;
    if (auto stop = importLines(cargo, cargoBinding, insertCargo, next.value(), renumbered, stored, result))
        return *stop;
    if (linksKept.value()) {
        if (Status s = linkHouses(stored, fileColumn(cargo.columns(), HouseLinkColumn) >= 0, renumbered); !s)
            return failed(s.failure());
    }
    if (Status s = prepareInsert(insertContainer, "contain",
                                 QStringList{QStringLiteral("ref"), QStringLiteral("sublineno")} + containerBinding.columns);
        !s)
        return failed(s.failure());
    if (Status s = importContainers(containers, containerBinding, insertContainer, renumbered, result); !s)
        return failed(s.failure());
    if (itemsPath.isEmpty()) {
        // beside the cargo file, where the export puts it; files of older installations have none
        const QString beside = QFileInfo(cargoPath).dir().filePath(QLatin1String(ItemXmlFileName));
        if (QFileInfo::exists(beside))
            itemsPath = beside;
    }
    if (!itemsPath.isEmpty()) {
        if (Status s = importItems(itemsPath, renumbered, insertItem, result, &notices); !s)
            return failed(s.failure());
    }
    if (Status s = tx.commit(); !s)
        return failed(s.failure());
    result.outcome = Outcome::done(QLatin1String(Messages::Imported));
    result.outcome.notices = notices;
    return result;
}

Status XmlImporter::prepareInsert(QSqlQuery &insert, const char *table, const QStringList &columns)
{
    if (!insert.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(QLatin1String(table), columns.join(QLatin1Char(',')),
                                 QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')))))
        return Database::failureOf(insert.lastError());
    return Status::ok();
}

Status XmlImporter::bindRow(QSqlQuery &insert, int first, const Binding &binding, const QList<Rowset::Value> &row,
                            const char *fileName, qint64 fileLine) const
{
    for (int i = 0; i < binding.columns.size(); ++i) {
        const int at = binding.fileIndex.at(i);
        QVariant v;
        if (at >= 0 && row.at(at).present) {
            if (tooLong(binding.defs.at(i), row.at(at).text))
                return longValue(fileName, binding.columns.at(i), binding.defs.at(i), row.at(at).text, fileLine);
            if (!toValue(m_db, binding.defs.at(i), row.at(at).text, &v))
                return mismatch(fileName, binding.columns.at(i), row.at(at).text);
        }
        insert.bindValue(first + i, v);
    }
    return Status::ok();
}

std::optional<XmlImportResult> XmlImporter::importLines(Rowset::Reader &cargo, const Binding &binding,
                                                        QSqlQuery &insert, qint64 nextKey,
                                                        QHash<qint64, NewLine> &renumbered,
                                                        std::vector<StoredLine> &stored, XmlImportResult &result)
{
    const int idAt = fileColumn(cargo.columns(), "id");
    const int vesselAt = fileColumn(cargo.columns(), "vslcode");
    const int voyageAt = fileColumn(cargo.columns(), "voyno");
    const int billAt = fileColumn(cargo.columns(), "blno");
    const int lineAt = fileColumn(cargo.columns(), "lineno");
    const int subAt = fileColumn(cargo.columns(), "sublineno");
    const int linkAt = fileColumn(cargo.columns(), HouseLinkColumn);
    // a whole number of the row, 0 when it holds none
    auto whole = [&](const QList<Rowset::Value> &row, int at) {
        double v = 0;
        if (at < 0 || !row.at(at).present || !Format::parseStoredNumber(row.at(at).text, &v) || std::trunc(v) != v)
            return qint64(0);
        return qint64(v);
    };
    // The voyage's key columns are stored as this import names the voyage, the rest as the
    // file has them.
    Binding rest = binding;
    QList<std::pair<int, QString>> keys;
    for (int i = 0; i < rest.fileIndex.size(); ++i) {
        if (rest.fileIndex.at(i) == vesselAt || rest.fileIndex.at(i) == voyageAt) {
            keys.append({i + 1, rest.fileIndex.at(i) == vesselAt ? m_vessel : m_voyage});
            rest.fileIndex[i] = -1;
        }
    }
    QList<Rowset::Value> row;
    while (cargo.next(&row)) {
        const QString rowVessel = row.at(vesselAt).text;
        const QString rowVoyage = row.at(voyageAt).text;
        // compared and stored without the blanks around them, as the screens keep them
        if (Format::voyageKey(rowVessel) != m_vessel || Format::voyageKey(rowVoyage) != m_voyage) {
            result.outcome = Outcome::refused(QLatin1String(Messages::WrongVoyagePrefix) + rowVessel
                                              + QLatin1String(Messages::VoyageSeparator) + rowVoyage);
            return result;
        }
        m_bill = billAt >= 0 ? row.at(billAt).text : QString();
        double oldId = 0;
        if (!row.at(idAt).present || !Format::parseStoredNumber(row.at(idAt).text, &oldId) || std::trunc(oldId) != oldId)
            return failed(mismatch(CargoXmlFileName, QStringLiteral("id"), row.at(idAt).text));
        if (renumbered.contains(qint64(oldId)))
            return failed(Failure(ErrorNumber::BadFileFormat,
                                  QStringLiteral("The line id %1 occurs twice in %2.")
                                      .arg(qint64(oldId))
                                      .arg(QLatin1String(CargoXmlFileName))));
        insert.bindValue(0, nextKey);
        if (Status s = bindRow(insert, 1, rest, row, CargoXmlFileName, cargo.lineNumber()); !s)
            return failed(s.failure());
        for (const auto &[at, value] : keys)
            insert.bindValue(at, value);
        if (!insert.exec())
            return failed(Database::failureOf(insert.lastError()));
        renumbered.insert(qint64(oldId), {nextKey, m_bill});
        StoredLine line{nextKey, m_bill, whole(row, lineAt), whole(row, subAt), std::nullopt};
        if (linkAt >= 0 && row.at(linkAt).present && !row.at(linkAt).text.trimmed().isEmpty()) {
            double master = 0;
            if (!Format::parseStoredNumber(row.at(linkAt).text, &master) || std::trunc(master) != master)
                return failed(mismatch(CargoXmlFileName, QLatin1String(HouseLinkColumn), row.at(linkAt).text));
            line.master = qint64(master);
        }
        stored.push_back(line);
        ++nextKey;
        ++result.lines;
    }
    if (!cargo.status())
        return failed(cargo.status().failure());
    return std::nullopt;
}

Status XmlImporter::linkHouses(const std::vector<StoredLine> &stored, bool fileLinks, const QHash<qint64, NewLine> &renumbered)
{
    std::vector<std::pair<qint64, qint64>> links; // house, master (new keys)
    if (fileLinks) {
        QSet<qint64> houses;
        for (const StoredLine &l : stored) {
            if (l.master)
                houses.insert(l.id);
        }
        for (const StoredLine &l : stored) {
            if (!l.master)
                continue;
            const auto master = renumbered.constFind(*l.master);
            if (master == renumbered.constEnd() || houses.contains(master->id)) {
                m_bill = l.bill;
                return Failure(ErrorNumber::BadFileFormat,
                               QStringLiteral("A house B/L of %1 names line id %2 as its master, which is %3.")
                                   .arg(QLatin1String(CargoXmlFileName))
                                   .arg(*l.master)
                                   .arg(master == renumbered.constEnd() ? QStringLiteral("not in the file")
                                                                        : QStringLiteral("a house B/L itself")));
            }
            links.emplace_back(l.id, master->id);
        }
    } else {
        std::vector<std::pair<qint64, qint64>> numbers;
        for (const StoredLine &l : stored)
            numbers.emplace_back(l.line, l.sub);
        const std::vector<qsizetype> master = mastersByNumber(numbers);
        for (size_t i = 0; i < stored.size(); ++i) {
            if (master[i] >= 0)
                links.emplace_back(stored[i].id, stored[size_t(master[i])].id);
        }
    }
    for (const auto &[house, master] : links) {
        if (Status s = m_db.exec(QStringLiteral("update cargo set %1 = ? where id = ?").arg(QLatin1String(HouseLinkColumn)),
                                 {master, house});
            !s)
            return s;
    }
    return Status::ok();
}

Status XmlImporter::importContainers(Rowset::Reader &containers, const Binding &binding, QSqlQuery &insert,
                                     const QHash<qint64, NewLine> &renumbered, XmlImportResult &result)
{
    const int refAt = fileColumn(containers.columns(), "ref");
    QList<Rowset::Value> row;
    while (containers.next(&row)) {
        double oldRef = 0;
        const QString refText = row.at(refAt).text;
        const bool numeric = Format::parseStoredNumber(refText, &oldRef) && std::trunc(oldRef) == oldRef;
        const auto line = numeric ? renumbered.constFind(qint64(oldRef)) : renumbered.constEnd();
        if (line == renumbered.constEnd()) {
            const int noAt = fileColumn(containers.columns(), "containno");
            return Failure(ErrorNumber::BadFileFormat,
                           QStringLiteral("Container %1 of %2 belongs to line id %3, which is not in %4.")
                               .arg(noAt >= 0 ? row.at(noAt).text : QString(), QLatin1String(ContainerXmlFileName),
                                    refText, QLatin1String(CargoXmlFileName)));
        }
        m_bill = line->bill;
        insert.bindValue(0, line->id);
        insert.bindValue(1, 0);
        if (Status s = bindRow(insert, 2, binding, row, ContainerXmlFileName, containers.lineNumber()); !s)
            return s;
        if (!insert.exec())
            return Database::failureOf(insert.lastError());
        ++result.containers;
    }
    return containers.status();
}

Status XmlImporter::importItems(const QString &path, const QHash<qint64, NewLine> &renumbered, QSqlQuery &insert,
                                XmlImportResult &result, QStringList *notices)
{
    const QString fileName = QFileInfo(path).fileName();
    Rowset::Reader items;
    if (Status s = items.open(path); !s)
        return s;
    const int refAt = fileColumn(items.columns(), "ref");
    const int billAt = fileColumn(items.columns(), "blno");
    if (refAt < 0)
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("%1 has no ref column: it is not an exported goods items file.").arg(path));
    const bool kept = m_db.hasTable(QLatin1String(Filing::ItemTable));
    const Binding binding = kept ? bind(m_db, Filing::ItemTable, items.columns(), fileName,
                                        {QStringLiteral("autoid"), QStringLiteral("ref")}, notices, {QStringLiteral("blno")})
                                 : Binding();
    if (kept) {
        if (Status s = prepareInsert(insert, Filing::ItemTable, QStringList{QStringLiteral("ref")} + binding.columns); !s)
            return s;
    }
    QList<Rowset::Value> row;
    qint64 skipped = 0;
    while (items.next(&row)) {
        double oldRef = 0;
        const QString refText = row.at(refAt).text;
        const bool numeric = Format::parseNumber(refText, &oldRef) && std::trunc(oldRef) == oldRef;
        const auto line = numeric ? renumbered.constFind(qint64(oldRef)) : renumbered.constEnd();
        const QString bill = billAt >= 0 ? row.at(billAt).text : QString();
        // A goods items file of another export next to these files must not give its goods
        // to lines that happen to have the same old keys.
        if (line == renumbered.constEnd() || (billAt >= 0 && Format::trimTrailing(bill) != Format::trimTrailing(line->bill)))
            return Failure(ErrorNumber::BadFileFormat,
                           QStringLiteral("%1 holds goods of B/L %2 (line id %3), which is not in %4: it belongs to "
                                          "another export. Remove it, or export the voyage again.")
                               .arg(path, bill, refText, QLatin1String(CargoXmlFileName)));
        if (!kept) {
            ++skipped;
            continue;
        }
        m_bill = line->bill;
        insert.bindValue(0, line->id);
        if (Status s = bindRow(insert, 1, binding, row, ItemXmlFileName, items.lineNumber()); !s)
            return s;
        if (!insert.exec())
            return Database::failureOf(insert.lastError());
        ++result.items;
    }
    if (!items.status())
        return items.status();
    if (skipped > 0)
        notices->append(QStringLiteral("The %1 goods item(s) of %2 were not imported: this company database keeps none "
                                       "yet (Patches, Modify Tables for SCMTR Filing (2.2.0)).")
                            .arg(skipped)
                            .arg(fileName));
    return Status::ok();
}

} // namespace

XmlImportResult importXmlFiles(const Database &db, const QString &cargoPath, const QString &containerPath,
                               const QString &vessel, const QString &voyage, const QString &itemsPath)
{
    return XmlImporter(db, vessel, voyage).run(cargoPath, containerPath, itemsPath);
}

} // namespace quarl::igm
