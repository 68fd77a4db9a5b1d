#include "interchange/xmlinterchange.h"

#include "interchange/rowsetxml.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "store/cargokeys.h"
#include "store/database.h"
#include "store/filingfields.h"
#include "store/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>

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

    const int idAt = fileColumn(cargo.columns(), "id");
    const int vesselAt = fileColumn(cargo.columns(), "vslcode");
    const int voyageAt = fileColumn(cargo.columns(), "voyno");
    const int billAt = fileColumn(cargo.columns(), "blno");
    const int refAt = fileColumn(containers.columns(), "ref");
    if (idAt < 0 || vesselAt < 0 || voyageAt < 0)
        return failed(Failure(ErrorNumber::BadFileFormat,
                              QStringLiteral("%1 has no id, vslcode or voyno column: it is not an exported cargo file.")
                                  .arg(cargoPath)));
    if (refAt < 0)
        return failed(Failure(ErrorNumber::BadFileFormat,
                              QStringLiteral("%1 has no ref column: it is not an exported container file.")
                                  .arg(containerPath)));

    const Binding cargoBinding = bind(m_db, "cargo", cargo.columns(), QLatin1String(CargoXmlFileName),
                                      {QStringLiteral("id")}, &notices);
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
    qint64 nextKey = next.value();

    {
        QStringList cols = QStringList{QStringLiteral("id")} + cargoBinding.columns;
        QStringList marks(cols.size(), QStringLiteral("?"));
        if (!insertCargo.prepare(QStringLiteral("insert into cargo (%1) values (%2)")
                                     .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
            return failed(Database::failureOf(insertCargo.lastError()));
    }
    QHash<qint64, NewLine> renumbered; // old id to the new one
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
        insertCargo.bindValue(0, nextKey);
        for (int i = 0; i < cargoBinding.columns.size(); ++i) {
            const int at = cargoBinding.fileIndex.at(i);
            QVariant v;
            if (at == vesselAt || at == voyageAt) {
                v = at == vesselAt ? m_vessel : m_voyage;
            } else if (at >= 0 && row.at(at).present) {
                if (tooLong(cargoBinding.defs.at(i), row.at(at).text))
                    return failed(longValue(CargoXmlFileName, cargoBinding.columns.at(i), cargoBinding.defs.at(i),
                                            row.at(at).text, cargo.lineNumber()));
                if (!toValue(m_db, cargoBinding.defs.at(i), row.at(at).text, &v))
                    return failed(mismatch(CargoXmlFileName, cargoBinding.columns.at(i), row.at(at).text));
            }
            insertCargo.bindValue(i + 1, v);
        }
        if (!insertCargo.exec())
            return failed(Database::failureOf(insertCargo.lastError()));
        renumbered.insert(qint64(oldId), {nextKey, m_bill});
        ++nextKey;
        ++result.lines;
    }
    if (!cargo.status())
        return failed(cargo.status().failure());

    {
        QStringList cols = QStringList{QStringLiteral("ref"), QStringLiteral("sublineno")} + containerBinding.columns;
        QStringList marks(cols.size(), QStringLiteral("?"));
        if (!insertContainer.prepare(QStringLiteral("insert into contain (%1) values (%2)")
                                         .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
            return failed(Database::failureOf(insertContainer.lastError()));
    }
    while (containers.next(&row)) {
        double oldRef = 0;
        const QString refText = row.at(refAt).text;
        const bool numeric = Format::parseStoredNumber(refText, &oldRef) && std::trunc(oldRef) == oldRef;
        const auto line = numeric ? renumbered.constFind(qint64(oldRef)) : renumbered.constEnd();
        if (line == renumbered.constEnd()) {
            const int noAt = fileColumn(containers.columns(), "containno");
            return failed(Failure(ErrorNumber::BadFileFormat,
                                  QStringLiteral("Container %1 of %2 belongs to line id %3, which is not in %4.")
                                      .arg(noAt >= 0 ? row.at(noAt).text : QString(),
                                           QLatin1String(ContainerXmlFileName), refText,
                                           QLatin1String(CargoXmlFileName))));
        }
        m_bill = line->bill;
        insertContainer.bindValue(0, line->id);
        insertContainer.bindValue(1, 0);
        for (int i = 0; i < containerBinding.columns.size(); ++i) {
            const int at = containerBinding.fileIndex.at(i);
            QVariant v;
            if (at >= 0 && row.at(at).present) {
                if (tooLong(containerBinding.defs.at(i), row.at(at).text))
                    return failed(longValue(ContainerXmlFileName, containerBinding.columns.at(i),
                                            containerBinding.defs.at(i), row.at(at).text, containers.lineNumber()));
                if (!toValue(m_db, containerBinding.defs.at(i), row.at(at).text, &v))
                    return failed(mismatch(ContainerXmlFileName, containerBinding.columns.at(i), row.at(at).text));
            }
            insertContainer.bindValue(i + 2, v);
        }
        if (!insertContainer.exec())
            return failed(Database::failureOf(insertContainer.lastError()));
        ++result.containers;
    }
    if (!containers.status())
        return failed(containers.status().failure());
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
        QStringList cols = QStringList{QStringLiteral("ref")} + binding.columns;
        if (!insert.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(QLatin1String(Filing::ItemTable), cols.join(QLatin1Char(',')),
                                     QStringList(cols.size(), QStringLiteral("?")).join(QLatin1Char(',')))))
            return Database::failureOf(insert.lastError());
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
        for (int i = 0; i < binding.columns.size(); ++i) {
            const int at = binding.fileIndex.at(i);
            QVariant v;
            if (at >= 0 && row.at(at).present) {
                if (tooLong(binding.defs.at(i), row.at(at).text))
                    return longValue(ItemXmlFileName, binding.columns.at(i), binding.defs.at(i), row.at(at).text,
                                     items.lineNumber());
                if (!toValue(m_db, binding.defs.at(i), row.at(at).text, &v))
                    return mismatch(ItemXmlFileName, binding.columns.at(i), row.at(at).text);
            }
            insert.bindValue(i + 1, v);
        }
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
