#include "manifest/manifeststore.h"

#include "manifest/igmmessages.h"
#include "store/cargokeys.h"
#include "store/cargolines.h"
#include "store/database.h"
#include "store/rowcursor.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSet>

#include <algorithm>
#include <map>
#include <array>
#include <optional>

namespace quarl::igm {

namespace {

// --- loading ---------------------------------------------------------------------------

bool isDateColumn(VoyageColumn c) { return c == VoyageColumn::IgmDate || c == VoyageColumn::ArrivalDate; }
bool isDateColumn(BillColumn c) { return c == BillColumn::BlDate || c == BillColumn::HblDate; }
bool isDateColumn(ContainerColumn) { return false; }

// Where each column of a selection goes: a named column of C, or an extra one by name.
template<typename C>
struct Mapping
{
    std::vector<int> named;    // per selected column: the enum value, -1 for an extra column
    std::vector<bool> date;
    QStringList extra;         // per selected column: its name in lower case
    int skip = -1;             // a generated key that does not travel
    bool nullExtras = true;    // extra columns without a value are kept too (as null)

    Mapping(const QStringList &names, const char *skipColumn = nullptr)
    {
        for (int i = 0; i < names.size(); ++i) {
            const QString &name = names.at(i);
            int found = -1;
            for (int c = 0; c < int(C::Count); ++c) {
                if (name.compare(QLatin1String(columnName(C(c))), Qt::CaseInsensitive) == 0) {
                    found = c;
                    break;
                }
            }
            if (skipColumn && name.compare(QLatin1String(skipColumn), Qt::CaseInsensitive) == 0)
                skip = i;
            named.push_back(found);
            date.push_back(found >= 0 && isDateColumn(C(found)));
            extra << name.toLower();
        }
    }

    // q: a QSqlQuery or a RowCursor on the row
    template<typename Source>
    void fill(const Source &q, Row<C> &row, const Dialect &dialect) const
    {
        for (int i = 0; i < int(named.size()); ++i) {
            if (i == skip)
                continue;
            if (named[size_t(i)] < 0) {
                QVariant v = q.value(i);
                if (nullExtras || !v.isNull())
                    row.extra.insert(extra.at(i), std::move(v));
                continue;
            }
            QVariant &into = row[C(named[size_t(i)])];
            if (date[size_t(i)]) {
                const QDate d = dialect.dateFromDb(q.value(i));
                into = d.isValid() ? QVariant(d) : QVariant();
            } else if constexpr (std::is_same_v<Source, RowCursor>) {
                q.valueInto(i, into);
            } else {
                into = q.value(i);
            }
        }
    }
};

QStringList namesOf(const QSqlRecord &record)
{
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

QStringList namesOf(const RowCursor &rows)
{
    QStringList names;
    for (int i = 0; i < rows.count(); ++i)
        names << rows.name(i);
    return names;
}

qint64 idOf(const Row<BillColumn> &l)
{
    return l[BillColumn::Id].toLongLong();
}

} // namespace

Result<std::pair<qint64, qint64>> voyageExtent(const Database &db, const QString &vessel, const QString &voyage)
{
    auto counts = db.query(QStringLiteral("select (select count(*) from vesinfo where vslcode = ? and voyno = ?), "
                                          "(select count(*) from cargo where vslcode = ? and voyno = ?)"),
                           {vessel, voyage, vessel, voyage});
    if (!counts)
        return counts.failure();
    if (!counts->next())
        return std::pair<qint64, qint64>(0, 0);
    return std::pair<qint64, qint64>(counts->value(0).toLongLong(), counts->value(1).toLongLong());
}

namespace {
// "a, b, c" of the columns, with the keys and numbers every reading needs first; "*"
// for all of them.
template<typename C>
QString selection(const Database &db, const char *table, QList<C> columns, std::initializer_list<C> keys, bool bytes)
{
    if (columns.isEmpty())
        return QLatin1String(table) + QStringLiteral(".*");
    QStringList out;
    QStringList seen;
    for (auto k = std::rbegin(keys); k != std::rend(keys); ++k)
        columns.prepend(*k);
    const TableDef *def = Schema::table(QLatin1String(table));
    const QStringList present = db.columnNames(QLatin1String(table));
    for (C c : columns) {
        const QString name = QLatin1String(columnName(c));
        if (seen.contains(name) || !present.contains(name, Qt::CaseInsensitive))
            continue; // a column of a later release this database lacks reads as null
        seen << name;
        const QString qualified = QLatin1String(table) + QLatin1Char('.') + name;
        const ColumnDef *d = def ? def->column(name) : nullptr;
        out << (bytes && d && d->isText() ? db.dialect().textAsBytes(qualified, name) : qualified);
    }
    return out.join(QStringLiteral(", "));
}
} // namespace

namespace {
// The voyage's header rows and its vessel as the vessel code master knows it.
Status readHeaders(const Database &db, const QString &vessel, const QString &voyage, std::vector<VoyageHeader> &headers,
                   VesselMaster &master)
{
    const Dialect &dialect = db.dialect();
    {
        auto q = db.query(QStringLiteral("select * from vesinfo where vslcode = ? and voyno = ? order by Id"), {vessel, voyage});
        if (!q)
            return q.failure();
        const Mapping<VoyageColumn> map(namesOf(q->record()), "Id");
        while (q->next())
            map.fill(*q, headers.emplace_back(), dialect);
        if (q->lastError().isValid())
            return db.failed(q->lastError());
    }
    if (headers.empty())
        return Status::ok();
    master.code = vessel;
    auto q = db.query(QStringLiteral("select * from D_VESSEL_CD where VESSEL_CD = ?"), {vessel});
    if (!q)
        return q.failure();
    if (q->next()) {
        const QSqlRecord r = q->record();
        master.stored = true;
        master.name = r.value(QStringLiteral("VESSEL_NM"));
        master.nation = r.value(QStringLiteral("VESSEL_NATION"));
        master.grt = r.value(QStringLiteral("grt"));
        master.nrt = r.value(QStringLiteral("nrt"));
        const int imo = r.indexOf(QStringLiteral("IMO_NO"));
        if (imo >= 0)
            master.imo = r.value(imo);
    }
    return Status::ok();
}
} // namespace

namespace {
// The parts of a streamed voyage. Each returns false when the sink has had enough.
struct VoyageReading
{
    const Database &db;
    const QVariantList key;
    const bool filed;
    const StreamColumns &columns;
    ManifestSink &sink;
    VoyageStream &info;
    QHash<qint64, qint64> place{}; // master line key to its number as filed

    Result<bool> bills();
    Result<bool> containers();
    Result<bool> items();
};

Result<bool> VoyageReading::bills()
{
    const Dialect &dialect = db.dialect();
    auto q = RowCursor::open(db,
                             QStringLiteral("select %1 from cargo where vslcode = ? and voyno = ? order by id")
                                 .arg(selection(db, "cargo", columns.lines, {BillColumn::Id, BillColumn::LineNo, BillColumn::SubLineNo},
                                                columns.textAsBytes)),
                             key);
    if (!q)
        return q.failure();
    const Mapping<BillColumn> map(namesOf(*q));
    Bill l; // filled anew for every row: every column of the selection is set
    while (q->next()) {
        map.fill(*q, l, dialect);
        if (filed) {
            const auto at = place.constFind(idOf(l));
            if (at == place.constEnd())
                continue; // a house B/L
            l[BillColumn::LineNo] = at.value();
            l[BillColumn::SubLineNo] = qint64(0);
        }
        ++info.lines;
        if (!sink.bill(std::move(l)))
            return false;
    }
    if (Status s = q->status(); !s)
        return s.failure();
    return true;
}

Result<bool> VoyageReading::containers()
{
    const Dialect &dialect = db.dialect();
    auto q = RowCursor::open(db,
                             QStringLiteral("select %1 from contain inner join cargo on contain.ref = cargo.id "
                                            "where cargo.vslcode = ? and cargo.voyno = ? order by cargo.id, contain.autoid")
                                 .arg(selection(db, "contain", columns.containers, {ContainerColumn::Ref}, columns.textAsBytes)),
                             key);
    if (!q)
        return q.failure();
    const Mapping<ContainerColumn> map(namesOf(*q));
    Container c;
    while (q->next()) {
        map.fill(*q, c, dialect);
        if (filed) {
            const auto at = place.constFind(c[ContainerColumn::Ref].toLongLong());
            if (at == place.constEnd())
                continue; // a house B/L's
            c[ContainerColumn::LineNo] = at.value();
            c[ContainerColumn::SubLineNo] = qint64(0);
        }
        ++info.containers;
        if (!sink.container(std::move(c)))
            return false;
    }
    if (Status s = q->status(); !s)
        return s.failure();
    return true;
}

// The goods items, under their lines' numbers.
Result<bool> VoyageReading::items()
{
    if (!db.hasTable(QLatin1String(Table::Item)))
        return true; // a database older than the goods items
    auto q = db.query(QStringLiteral("select %1.*, cargo.lineno as item_lineno, cargo.sublineno as item_sublineno "
                                     "from %1 inner join cargo on %1.ref = cargo.id "
                                     "where cargo.vslcode = ? and cargo.voyno = ? order by cargo.id, %1.autoid")
                          .arg(QLatin1String(Table::Item)),
                      key);
    if (!q)
        return q.failure();
    const QSqlRecord r = q->record();
    const int ref = r.indexOf(QStringLiteral("ref"));
    while (q->next()) {
        Item item;
        for (int i = 0; i < r.count() - 2; ++i) {
            if (r.fieldName(i).compare(QLatin1String("autoid"), Qt::CaseInsensitive) != 0)
                item.columns.insert(r.fieldName(i).toLower(), q->value(i));
        }
        if (filed && !place.contains(q->value(ref).toLongLong()))
            continue; // a house B/L's
        const qint64 lineNo = filed ? place.value(q->value(ref).toLongLong()) : q->value(r.count() - 2).toLongLong();
        const qint64 sub = filed ? 0 : q->value(r.count() - 1).toLongLong();
        if (!sink.item(lineNo, sub, std::move(item)))
            return false;
    }
    if (q->lastError().isValid())
        return db.failed(q->lastError());
    return true;
}
} // namespace

Result<VoyageStream> streamVoyage(const Database &db, const QString &vessel, const QString &voyage, ManifestSink &sink,
                                  Numbering numbering, const StreamColumns &columns)
{
    // One moment of the voyage: lines and containers saved meanwhile by another workstation
    // come in whole or not at all.
    std::optional<Transaction> own;
    if (!db.inTransaction()) {
        own.emplace(db, TxMode::Read);
        if (!own->started())
            return own->started().failure();
    }
    const bool filed = numbering == Numbering::AsFiled;
    const QVariantList key{vessel, voyage};
    VoyageStream info;
    std::vector<VoyageHeader> headers;
    VesselMaster master;
    if (Status s = readHeaders(db, vessel, voyage, headers, master); !s)
        return s.failure();
    info.headers = qint64(headers.size());
    if (headers.empty())
        return info;
    VoyageReading reading{db, key, filed, columns, sink, info};
    if (filed) {
        auto outline = readCargoOutline(db, vessel, voyage);
        if (!outline)
            return outline.failure();
        const qint64 lines = outline->masters;
        for (VoyageHeader &h : headers) {
            info.totalsDiffer = info.totalsDiffer || h.isNull(VoyageColumn::TotalItems) || h[VoyageColumn::TotalItems].toLongLong() != lines;
            h[VoyageColumn::TotalItems] = lines;
        }
        info.renumbered = outline->renumbered();
        for (const CargoLine &l : outline->lines) {
            if (!l.isHouse())
                reading.place.insert(l.id, l.line);
        }
    }
    if (!sink.headers(std::move(headers), std::move(master)))
        return info;
    Result<bool> more = reading.bills();
    if (more && more.value())
        more = reading.containers();
    if (more && more.value())
        more = reading.items();
    if (!more)
        return more.failure();
    if (!more.value())
        return info;
    if (!sink.end())
        return info;
    if (own) {
        if (Status s = own->commit(); !s)
            return s.failure();
    }
    return info;
}

Result<Manifest> loadVoyage(const Database &db, const QString &vessel, const QString &voyage)
{
    FirstError problems;
    ManifestBuilder builder(problems);
    auto streamed = streamVoyage(db, vessel, voyage, builder, Numbering::AsStored);
    if (!streamed)
        return streamed.failure();
    Manifest m = std::move(builder.manifest());
    m.vessel = vessel;
    m.voyage = voyage;
    return m;
}

// --- the voyage nested, a slice at a time --------------------------------------------

namespace {
// Whole master lines to read with one statement per table.
constexpr size_t SliceLines = 512;
} // namespace

Result<NestedVoyage> NestedVoyage::open(const Database &db, const QString &vessel, const QString &voyage)
{
    NestedVoyage v;
    v.m_db = &db;
    v.m_vessel = vessel;
    v.m_voyage = voyage;
    if (Status s = readHeaders(db, vessel, voyage, v.m_headers, v.m_master); !s)
        return s.failure();
    if (v.m_headers.empty())
        return v;
    auto outline = readCargoOutline(db, vessel, voyage);
    if (!outline)
        return outline.failure();
    v.m_masters = outline->masters;
    v.m_order.reserve(outline->lines.size());
    for (const CargoLine &l : outline->lines) {
        Entry e;
        e.id = l.id;
        e.storedLine = l.storedLine;
        e.storedSub = l.storedSub;
        e.line = l.line;
        e.master = !l.isHouse();
        e.sub = e.master ? 0 : l.storedSub;
        if (e.master)
            v.m_natures.insert(l.nature);
        v.m_order.push_back(e);
    }
    return v;
}

template<typename F>
Status NestedVoyage::slices(F &&each) const
{
    size_t begin = 0;
    while (begin < m_order.size()) {
        size_t end = std::min(m_order.size(), begin + SliceLines);
        while (end < m_order.size() && !m_order[end].master)
            ++end; // a master line's houses stay with it
        qint64 low = m_order[begin].id, high = low;
        QHash<qint64, size_t> at; // key to its place in the slice
        for (size_t i = begin; i < end; ++i) {
            low = std::min(low, m_order[i].id);
            high = std::max(high, m_order[i].id);
            at.insert(m_order[i].id, i - begin);
        }
        if (Status s = each(begin, end, low, high, at); !s)
            return s;
        begin = end;
    }
    return Status::ok();
}

Status NestedVoyage::readBills(const std::function<bool(Bill &&)> &take) const
{
    const Database &db = *m_db;
    const Dialect &dialect = db.dialect();
    bool stopped = false;
    const bool items = db.hasTable(QLatin1String(Table::Item));
    return slices([&](size_t begin, size_t end, qint64 low, qint64 high, const QHash<qint64, size_t> &at) -> Status {
        if (stopped)
            return Status::ok();
        const QVariantList key{m_vessel, m_voyage, low, high};
        std::vector<Bill> lines(end - begin);
        {
            auto q = RowCursor::open(db, QStringLiteral("select * from cargo where vslcode = ? and voyno = ? and id between ? and ? "
                                             "order by id"),
                              key);
            if (!q)
                return q.failure();
            Mapping<BillColumn> map(namesOf(*q));
            map.nullExtras = false; // read as absent, which the writer takes the same
            while (q->next()) {
                const auto place = at.constFind(q->value(0).toLongLong());
                if (place != at.constEnd())
                    map.fill(*q, lines[place.value()], dialect);
            }
            if (Status s = q->status(); !s)
                return s;
        }
        {
            auto boxes = sliceContainers({}, lines.size(), low, high, at);
            if (!boxes)
                return boxes.failure();
            for (size_t i = 0; i < lines.size(); ++i)
                lines[i].containers = std::move(boxes.value()[i]);
        }
        if (items) {
            auto q = RowCursor::open(db, QStringLiteral("select %1.* from %1 inner join cargo on %1.ref = cargo.id "
                                             "where cargo.vslcode = ? and cargo.voyno = ? and cargo.id between ? and ? "
                                             "order by cargo.id, %1.autoid")
                                  .arg(QLatin1String(Table::Item)),
                              key);
            if (!q)
                return q.failure();
            QStringList names;
            for (int i = 0; i < q->count(); ++i)
                names << q->name(i).toLower();
            const int ref = int(names.indexOf(QStringLiteral("ref")));
            while (q->next()) {
                const auto place = at.constFind(q->value(ref).toLongLong());
                if (place == at.constEnd())
                    continue;
                Item item;
                for (int i = 0; i < q->count(); ++i) {
                    if (names.at(i) != QLatin1String("autoid"))
                        item.columns.insert(names.at(i), q->value(i));
                }
                lines[place.value()].items.push_back(std::move(item));
            }
            if (Status s = q->status(); !s)
                return s;
        }
        size_t m = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const Entry &e = m_order[begin + i];
            lines[i][BillColumn::LineNo] = e.line;
            lines[i][BillColumn::SubLineNo] = e.sub;
            if (e.master)
                m = i;
            else
                lines[m].houses.push_back(std::move(lines[i]));
            const bool last = i + 1 == lines.size() || m_order[begin + i + 1].master;
            if (last && !take(std::move(lines[m]))) {
                stopped = true;
                break;
            }
        }
        return Status::ok();
    });
}

Result<std::vector<std::vector<Container>>> NestedVoyage::sliceContainers(const QList<ContainerColumn> &columns, size_t size,
                                                                           qint64 low, qint64 high,
                                                                           const QHash<qint64, size_t> &at) const
{
    const Database &db = *m_db;
    auto q = RowCursor::open(db,
                             QStringLiteral("select %1 from contain inner join cargo on contain.ref = cargo.id "
                                            "where cargo.vslcode = ? and cargo.voyno = ? and cargo.id between ? and ? "
                                            "order by cargo.id, contain.autoid")
                                 .arg(selection(db, "contain", columns, {ContainerColumn::Ref}, false)),
                             {m_vessel, m_voyage, low, high});
    if (!q)
        return q.failure();
    std::vector<std::vector<Container>> byLine(size);
    Mapping<ContainerColumn> map(namesOf(*q));
    map.nullExtras = false;
    Container c;
    while (q->next()) {
        map.fill(*q, c, db.dialect());
        const auto place = at.constFind(c[ContainerColumn::Ref].toLongLong());
        if (place != at.constEnd())
            byLine[place.value()].push_back(std::move(c));
        c = Container();
    }
    if (Status s = q->status(); !s)
        return s.failure();
    return byLine;
}

Status NestedVoyage::containers(const QList<ContainerColumn> &columns, const std::function<bool(Container &&, bool)> &take) const
{
    bool stopped = false;
    return slices([&](size_t begin, size_t end, qint64 low, qint64 high, const QHash<qint64, size_t> &at) -> Status {
        if (stopped)
            return Status::ok();
        auto byLine = sliceContainers(columns, end - begin, low, high, at);
        if (!byLine)
            return byLine.failure();
        for (size_t i = 0; i < byLine->size() && !stopped; ++i) {
            for (Container &box : byLine.value()[i]) {
                if (!take(std::move(box), m_order[begin + i].master)) {
                    stopped = true;
                    break;
                }
            }
        }
        return Status::ok();
    });
}

std::vector<std::tuple<qint64, qint64, qint64>> NestedVoyage::renumbered() const
{
    std::vector<std::tuple<qint64, qint64, qint64>> out;
    for (const Entry &e : m_order) {
        if (e.storedLine != e.line || e.storedSub != e.sub)
            out.emplace_back(e.id, e.line, e.sub);
    }
    return out;
}

// --- saving ----------------------------------------------------------------------------

namespace {

// One table's insert: the columns of the database's table that the rows fill, the named
// ones by enum and the others by name.
template<typename C>
class Insert
{
public:
    // preset: columns whose values exec() is given; filled: the columns the source fills
    // (all when empty), the others are left to the table's defaults.
    Insert(const Database &db, const char *table, QList<C> preset, const QList<C> &filled = {})
        : m_db(db), m_table(table), m_preset(std::move(preset))
    {
        const TableDef *def = Schema::table(QLatin1String(table));
        quint64 present = 0;
        quint64 generated = 0;
        for (const QString &column : db.columnNames(QLatin1String(table))) {
            const ColumnDef *c = def ? def->column(column) : nullptr;
            int named = -1;
            for (int k = 0; k < int(C::Count); ++k) {
                if (column.compare(QLatin1String(columnName(C(k))), Qt::CaseInsensitive) == 0)
                    named = k;
            }
            if (c && c->type == ColumnType::AutoId) {
                if (named >= 0)
                    generated |= quint64(1) << named;
                m_generated << column.toLower(); // the engine's
                continue;
            }
            if (named >= 0) {
                present |= quint64(1) << named;
                m_spelling[size_t(named)] = column;
            } else {
                m_extra.insert(column.toLower(), column);
            }
        }
        m_absent = ~(present | generated) & ((quint64(1) << int(C::Count)) - 1);
        for (int k = 0; k < int(C::Count); ++k) {
            if ((present & (quint64(1) << k)) && !m_preset.contains(C(k)) && (filled.isEmpty() || filled.contains(C(k))))
                m_order.push_back(C(k));
        }
    }

    // A named column of the model the database's table lacks, filled in row: its name.
    QString missing(const Row<C> &row) const
    {
        for (int k = 0; k < int(C::Count); ++k) {
            if ((m_absent & (quint64(1) << k)) && !row.isNull(C(k)))
                return QLatin1String(columnName(C(k)));
        }
        for (auto it = row.extra.constBegin(); it != row.extra.constEnd(); ++it) {
            if (!m_extra.contains(it.key()) && !it.value().isNull() && !m_generated.contains(it.key()))
                return it.key();
        }
        return {};
    }

    // Binds the row (with the preset columns' values given) and runs the statement.
    bool exec(const Row<C> &row, const QVariantList &preset, QSqlError *error)
    {
        QStringList extra;
        for (auto it = row.extra.constBegin(); it != row.extra.constEnd(); ++it) {
            if (m_extra.contains(it.key()))
                extra << it.key();
        }
        std::sort(extra.begin(), extra.end());
        // one statement for each set of columns the rows fill, prepared once
        const QString signature = extra.join(QLatin1Char(','));
        auto statement = m_statements.find(signature);
        if (statement == m_statements.end()) {
            QStringList columns;
            for (C c : m_preset)
                columns << (m_spelling[size_t(c)].isEmpty() ? QLatin1String(columnName(c)) : m_spelling[size_t(c)]);
            for (C c : m_order)
                columns << m_spelling[size_t(c)];
            for (const QString &e : extra)
                columns << m_extra.value(e);
            const QString sql = QStringLiteral("insert into %1 (%2) values (%3)")
                                    .arg(QLatin1String(m_table), columns.join(QLatin1Char(',')),
                                         QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')));
            QSqlQuery q(m_db.handle());
            if (!q.prepare(sql)) {
                *error = q.lastError();
                return false;
            }
            statement = m_statements.emplace(signature, Prepared{std::move(q), extra}).first;
        }
        QSqlQuery &query = statement->second.query;
        const QStringList &bound = statement->second.extra;
        int i = 0;
        for (const QVariant &v : preset)
            query.bindValue(i++, v);
        const Dialect &dialect = m_db.dialect();
        for (C c : m_order) {
            const QVariant &v = row[c];
            query.bindValue(i++, isDateColumn(c) ? dialect.dateToDb(v.toDate()) : v);
        }
        for (const QString &e : bound)
            query.bindValue(i++, row.extra.value(e));
        if (!query.exec()) {
            *error = query.lastError();
            return false;
        }
        return true;
    }

private:
    const Database &m_db;
    const char *m_table;
    QList<C> m_preset;
    struct Prepared
    {
        QSqlQuery query;
        QStringList extra; // the extra columns it binds
    };
    std::map<QString, Prepared> m_statements;
    std::array<QString, size_t(C::Count)> m_spelling; // the table's spelling of each named column
    std::vector<C> m_order;                            // the named columns bound, in table order
    quint64 m_absent = 0;                              // named columns the table lacks
    QHash<QString, QString> m_extra;
    QSet<QString> m_generated;
};

} // namespace

struct ManifestSaver::Private
{
    Private(const Database &db, const SaveOptions &options, const Confirm &confirm, Problems &problems)
        : db(db), options(options), confirm(confirm), problems(problems),
          lineInsert(db, Table::Cargo, {BillColumn::Id}, options.lines), containerInsert(db, Table::Container, {ContainerColumn::Ref}, options.containers),
          vesselInsert(db, Table::Vessel, {}), itemQuery(db.handle())
    {
    }

    const Database &db;
    SaveOptions options;
    const Confirm &confirm;
    Problems &problems;
    // Before the transaction, so that they are released after it has ended: PostgreSQL
    // refuses to free a statement inside a failed transaction.
    Insert<BillColumn> lineInsert;
    Insert<ContainerColumn> containerInsert;
    Insert<VoyageColumn> vesselInsert;
    QSqlQuery itemQuery;
    QString itemSignature;
    std::optional<QStringList> itemColumns; // of the goods items' table; empty when there is none
    std::optional<Transaction> tx;

    bool declined = false;
    bool started = false;
    QString vessel;
    QString voyage;
    std::vector<std::pair<qint64, QVariant>> totals; // header line and its line total
    bool totalsChecked = false;
    qint64 nextKey = 0;
    bool linksKept = false;                         // cargo keeps the link of a house to its master
    QHash<qint64, qint64> masters;                  // line number to the new key
    QHash<QPair<qint64, qint64>, qint64> houses;    // line and sub-line number to the new key
    QHash<QString, qint64> blNumbers;               // of the voyage, stored or read: to its line number
    qint64 headersStored = 0;
    qint64 housesStored = 0;
    qint64 lines = 0;
    qint64 containers = 0;
    qint64 items = 0;
    QStringList notices;

    bool refuse(qint64 number, const QString &text, Section section = Section::General, const QString &column = {},
                qint64 line = 0, const QString &bill = {})
    {
        Problem p;
        p.failure = Failure(number, text);
        p.section = section;
        p.column = column;
        p.fileLine = line;
        p.blNo = bill;
        problems.raise(p);
        return false;
    }
    bool dbError(const QSqlError &e, qint64 line, Section section = Section::General, const QString &column = {})
    {
        Problem p;
        p.failure = db.failed(e);
        if (line > 0)
            p.failure.description += QStringLiteral(" (line %1 of the file)").arg(line);
        p.section = section;
        p.column = column;
        p.fileLine = line;
        problems.raise(p);
        return false;
    }
    bool dbFailure(const Failure &f, Section section = Section::General, const QString &column = {})
    {
        Problem p;
        p.failure = f;
        p.section = section;
        p.column = column;
        problems.raise(p);
        return false;
    }
    bool lacks(const char *table, const QString &column, Section section, qint64 line)
    {
        return refuse(ErrorNumber::InvalidArgument,
                      QStringLiteral("This company database lacks the column %1.%2 that the file fills: bring it up to "
                                     "date with the upgrades of the Patches menu first.")
                          .arg(QLatin1String(table), column),
                      section, column, line);
    }
    bool sameVoyage(const QVariant &v, const QVariant &n, qint64 line, Section section, const QString &bill)
    {
        if ((v.isNull() || v.toString() == vessel) && (n.isNull() || n.toString() == voyage))
            return true;
        return refuse(ErrorNumber::BadFileFormat,
                      line > 0 ? QStringLiteral("Line %1 of the file belongs to %2 / %3, not to the vessel record's %4 / %5.")
                                     .arg(QString::number(line), v.toString(), n.toString(), vessel, voyage)
                               : QStringLiteral("B/L %1 belongs to %2 / %3, not to the voyage header's %4 / %5.")
                                     .arg(bill, v.toString(), n.toString(), vessel, voyage),
                      section, QStringLiteral("vslcode"), line, bill);
    }
    bool checkTotals()
    {
        if (totalsChecked)
            return true;
        totalsChecked = true;
        // The vessel record counts the lines written: fewer or more here means lines were
        // lost or joined on the way.
        for (const auto &[line, total] : totals) {
            if (total.isNull() || total.toLongLong() == lines)
                continue;
            return refuse(ErrorNumber::BadFileFormat,
                          QStringLiteral("The vessel record (line %1 of the file) counts %2 lines, the cargo section "
                                         "holds %3: the file is incomplete or damaged.")
                              .arg(line)
                              .arg(total.toLongLong())
                              .arg(lines));
        }
        return true;
    }
    bool keepVesselMaster(std::vector<VoyageHeader> &headers, const VesselMaster &master);
};

bool ManifestSaver::Private::keepVesselMaster(std::vector<VoyageHeader> &headers, const VesselMaster &master)
{
    const QString code = master.code;
    if (code.trimmed().isEmpty())
        return true;
    auto q = db.query(QStringLiteral("select * from D_VESSEL_CD where VESSEL_CD = ?"), {code});
    if (!q)
        return dbFailure(q.failure(), Section::Vessel);
    const QString imo = master.imo.toString().trimmed();
    if (q->next()) {
        // name, nationality and tonnage the file does not carry come from the master, as
        // the voyage screen takes them
        const QSqlRecord r = q->record();
        for (VoyageHeader &h : headers) {
            const std::pair<VoyageColumn, const char *> fromMaster[] = {
                {VoyageColumn::Name, "VESSEL_NM"}, {VoyageColumn::Nation, "VESSEL_NATION"}, {VoyageColumn::Grt, "grt"}, {VoyageColumn::Nrt, "nrt"}};
            for (const auto &[column, masterColumn] : fromMaster) {
                if (h.isNull(column))
                    h[column] = r.value(QLatin1String(masterColumn));
            }
        }
        const QString known = r.value(QStringLiteral("IMO_NO")).toString().trimmed();
        if (known.isEmpty() && !imo.isEmpty()) {
            if (Status s = db.exec(QStringLiteral("update D_VESSEL_CD set IMO_NO = ? where VESSEL_CD = ?"), {imo, code}); !s)
                return dbFailure(s.failure(), Section::Vessel, QStringLiteral("IMO_NO"));
        } else if (!imo.isEmpty() && known != imo) {
            notices << QStringLiteral("Vessel %1 has IMO number %2 in the vessel codes; the file's %3 was not taken.")
                           .arg(code, known, imo);
        }
        return true;
    }
    // a vessel the master does not know yet: with what the file tells of it
    const QVariant none(QMetaType::fromType<QString>());
    const QVariantList values{code, master.name.isNull() ? none : master.name,
                              master.nation.isNull() ? none : master.nation, master.grt, master.nrt,
                              imo.isEmpty() ? none : QVariant(imo)};
    if (Status s = db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt, "
                                          "IMO_NO) values (?, ?, ?, ?, ?, ?)"),
                           values);
        !s)
        return dbFailure(s.failure(), Section::Vessel, QStringLiteral("VESSEL_CD"));
    QStringList told;
    if (!master.name.toString().trimmed().isEmpty())
        told << QStringLiteral("name %1").arg(master.name.toString().trimmed());
    if (!imo.isEmpty())
        told << QStringLiteral("IMO number %1").arg(imo);
    notices << (told.isEmpty() ? QStringLiteral("Vessel code %1 added to the vessel codes.").arg(code)
                               : QStringLiteral("Vessel code %1 added to the vessel codes with %2.")
                                     .arg(code, told.join(QStringLiteral(", "))));
    return true;
}

ManifestSaver::ManifestSaver(const Database &db, const SaveOptions &options, const Confirm &confirm, Problems &problems)
    : d(std::make_unique<Private>(db, options, confirm, problems))
{
}

ManifestSaver::~ManifestSaver()
{
    d->tx.reset(); // rolled back unless committed, before the statements go
}

bool ManifestSaver::headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master)
{
    if (headers.empty())
        return d->refuse(ErrorNumber::BadFileFormat, QStringLiteral("The file holds no vessel record."));
    const VoyageHeader &first = headers.front();
    d->vessel = first.text(VoyageColumn::Code);
    d->voyage = first.text(VoyageColumn::Voyage);
    if (d->vessel.trimmed().isEmpty() || d->voyage.trimmed().isEmpty())
        return d->refuse(ErrorNumber::BadFileFormat,
                         QStringLiteral("Line %1 of the file is a vessel record without a vessel code or a voyage number.")
                             .arg(first.fileLine));
    for (const VoyageHeader &h : headers) {
        if (h.text(VoyageColumn::Code) != d->vessel || h.text(VoyageColumn::Voyage) != d->voyage)
            return d->refuse(ErrorNumber::BadFileFormat,
                             QStringLiteral("Line %1 of the file is a vessel record of %2 / %3, another voyage than %4 / %5.")
                                 .arg(QString::number(h.fileLine), h.text(VoyageColumn::Code), h.text(VoyageColumn::Voyage), d->vessel, d->voyage));
        d->totals.emplace_back(h.fileLine, h[VoyageColumn::TotalItems]);
    }
    // What the company holds of the voyage already is named in the question: the file's
    // lines are added to it.
    QString held;
    {
        auto there = d->db.query(QStringLiteral("select (select count(*) from vesinfo where vslcode = ? and voyno = ?), "
                                                "(select count(*) from cargo where vslcode = ? and voyno = ?), "
                                                "(select count(*) from contain where ref in (select id from cargo where vslcode = ? "
                                                "and voyno = ?))"),
                                 {d->vessel, d->voyage, d->vessel, d->voyage, d->vessel, d->voyage});
        if (!there)
            return d->dbFailure(there.failure(), Section::Vessel);
        if (there->next()) {
            const qint64 headers = there->value(0).toLongLong();
            const qint64 lines = there->value(1).toLongLong();
            const qint64 boxes = there->value(2).toLongLong();
            if (headers > 0 || lines > 0)
                held = QStringLiteral("%1 / %2 is in this company already: %3, %4 B/L(s) and %5 container(s). What the file "
                                      "holds is added to it.\n\n")
                           .arg(d->vessel, d->voyage, headers > 0 ? QStringLiteral("its voyage header") : QStringLiteral("no voyage header"))
                           .arg(lines)
                           .arg(boxes);
        }
    }
    if (!d->confirm || !d->confirm(held + Messages::importQuestion(d->vessel, d->voyage))) {
        d->declined = true;
        return false;
    }
    d->tx.emplace(d->db);
    if (!d->tx->started())
        return d->dbFailure(d->tx->started().failure());
    d->started = true;
    auto key = nextCargoId(d->db);
    if (!key)
        return d->dbFailure(key.failure());
    d->nextKey = key.value() + d->options.keyGap;
    auto links = keepsHouseLinks(d->db);
    if (!links)
        return d->dbFailure(links.failure());
    d->linksKept = links.value();
    // a B/L number the voyage holds already is named in words, not by the unique index
    auto numbers = d->db.query(QStringLiteral("select blno, lineno from cargo where vslcode = ? and voyno = ?"), {d->vessel, d->voyage});
    if (!numbers)
        return d->dbFailure(numbers.failure());
    while (numbers->next())
        d->blNumbers.insert(numbers->value(0).toString().trimmed(), numbers->value(1).toLongLong());
    if (!d->options.withVessel)
        return true;
    // a voyage header once: a second one would give the flat file two vessel records
    auto stored = d->db.scalar(QStringLiteral("select count(*) from vesinfo where vslcode = ? and voyno = ?"),
                               {d->vessel, d->voyage});
    if (!stored)
        return d->dbFailure(stored.failure(), Section::Vessel);
    if (stored->toLongLong() > 0)
        return d->refuse(ErrorNumber::InvalidArgument,
                         QStringLiteral("The voyage header of %1 / %2 is stored already: import without the vessel "
                                        "information, or remove the voyage first.")
                             .arg(d->vessel, d->voyage),
                         Section::Vessel, QStringLiteral("vslcode"));
    if (!d->keepVesselMaster(headers, master))
        return false;
    for (const VoyageHeader &h : headers) {
        if (const QString lacking = d->vesselInsert.missing(h); !lacking.isEmpty())
            return d->lacks(Table::Vessel, lacking, Section::Vessel, h.fileLine);
        QSqlError e;
        if (!d->vesselInsert.exec(h, {}, &e))
            return d->dbError(e, 0, Section::Vessel);
        ++d->headersStored;
    }
    return true;
}

bool ManifestSaver::bill(Bill &&line)
{
    if (!d->started)
        return false;
    if (!d->sameVoyage(line[BillColumn::Vessel], line[BillColumn::Voyage], line.fileLine, Section::Cargo, line.bill()))
        return false;
    // a layout whose lines do not name their voyage: the header's
    if (line.isNull(BillColumn::Vessel))
        line[BillColumn::Vessel] = d->vessel;
    if (line.isNull(BillColumn::Voyage))
        line[BillColumn::Voyage] = d->voyage;
    const qint64 lineNo = line[BillColumn::LineNo].toLongLong();
    const qint64 sub = line[BillColumn::SubLineNo].toLongLong();
    const bool house = sub > 0 && d->masters.contains(lineNo);
    if (!house && d->options.partsFollowTheirLine && !d->houses.isEmpty())
        d->houses.clear();
    if (house ? d->houses.contains({lineNo, sub}) : d->masters.contains(lineNo))
        return d->refuse(ErrorNumber::BadFileFormat,
                         QStringLiteral("Line number %1 occurs twice in the cargo section (line %2 of the file): the "
                                        "containers cannot be told apart.")
                             .arg(house ? QStringLiteral("%1/%2").arg(lineNo).arg(sub) : QString::number(lineNo))
                             .arg(line.fileLine),
                         Section::Cargo, QStringLiteral("lineno"), line.fileLine, line.bill());
    // A house names its master by the master's new key; a link the line brings from
    // elsewhere names keys of another database.
    if (d->linksKept)
        line.extra.insert(QLatin1String(HouseLinkColumn), house ? QVariant(d->masters.value(lineNo)) : QVariant());
    else
        line.extra.remove(QLatin1String(HouseLinkColumn));
    if (const QString lacking = d->lineInsert.missing(line); !lacking.isEmpty())
        return d->lacks(Table::Cargo, lacking, Section::Cargo, line.fileLine);
    const QString blNo = line.bill().trimmed();
    if (const auto taken = d->blNumbers.constFind(blNo); !blNo.isEmpty() && taken != d->blNumbers.constEnd())
        return d->refuse(ErrorNumber::BlNumberTaken,
                         QStringLiteral("B/L No. %1 is already line %2 of %3 / %4 (line %5 of the file).")
                             .arg(blNo, QString::number(taken.value()), d->vessel, d->voyage, QString::number(line.fileLine)),
                         Section::Cargo, QStringLiteral("blno"), line.fileLine, line.bill());
    d->blNumbers.insert(blNo, lineNo);
    const qint64 id = d->nextKey++;
    QSqlError e;
    if (!d->lineInsert.exec(line, {id}, &e))
        return d->dbError(e, line.fileLine);
    if (house) {
        d->houses.insert({lineNo, sub}, id);
        ++d->housesStored;
    } else
        d->masters.insert(lineNo, id);
    ++d->lines;
    return true;
}

bool ManifestSaver::container(Container &&c)
{
    if (!d->started || !d->checkTotals())
        return false;
    if (!d->sameVoyage(c.fileVessel, c.fileVoyage, c.fileLine, Section::Container, QString()))
        return false;
    const qint64 lineNo = c[ContainerColumn::LineNo].toLongLong();
    const qint64 sub = c[ContainerColumn::SubLineNo].toLongLong();
    qint64 ref = -1;
    if (sub > 0)
        ref = d->houses.value({lineNo, sub}, -1);
    if (ref < 0)
        ref = d->masters.value(lineNo, -1);
    if (ref < 0)
        return d->refuse(ErrorNumber::BadFileFormat,
                         QStringLiteral("Container %1 (line %2 of the file) belongs to line number %3, which is not in "
                                        "the cargo section.")
                             .arg(c.text(ContainerColumn::Number), QString::number(c.fileLine), c.text(ContainerColumn::LineNo)),
                         Section::Container, QStringLiteral("ref"), c.fileLine);
    if (const QString lacking = d->containerInsert.missing(c); !lacking.isEmpty())
        return d->lacks(Table::Container, lacking, Section::Container, c.fileLine);
    QSqlError e;
    if (!d->containerInsert.exec(c, {ref}, &e))
        return d->dbError(e, c.fileLine);
    ++d->containers;
    return true;
}

bool ManifestSaver::item(qint64 lineNo, qint64 subLineNo, Item &&item)
{
    if (!d->started || !d->checkTotals())
        return false;
    qint64 ref = subLineNo > 0 ? d->houses.value({lineNo, subLineNo}, -1) : -1;
    if (ref < 0)
        ref = d->masters.value(lineNo, -1);
    if (ref < 0)
        return d->refuse(ErrorNumber::BadFileFormat,
                         QStringLiteral("A goods item (line %1 of the file) belongs to line number %2, which the "
                                        "manifest does not hold.")
                             .arg(item.fileLine)
                             .arg(lineNo),
                         Section::Item, QStringLiteral("ref"), item.fileLine);
    if (!d->itemColumns) {
        d->itemColumns = d->db.hasTable(QLatin1String(Table::Item)) ? d->db.columnNames(QLatin1String(Table::Item))
                                                                    : QStringList();
    }
    if (d->itemColumns->isEmpty())
        return d->refuse(ErrorNumber::InvalidArgument,
                         QStringLiteral("This company database keeps no goods items: bring it up to date with the "
                                        "upgrades of the Patches menu first."),
                         Section::Item, QString(), item.fileLine);
    const QStringList &present = *d->itemColumns;
    QStringList columns{QStringLiteral("ref")};
    QVariantList values{ref};
    for (const QString &c : present) {
        const QString lower = c.toLower();
        if (lower == QLatin1String("ref") || lower == QLatin1String("autoid") || !item.columns.contains(lower))
            continue;
        columns << c;
        values << item.columns.value(lower);
    }
    const QString signature = columns.join(QLatin1Char(','));
    if (signature != d->itemSignature) {
        if (!d->itemQuery.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                                      .arg(QLatin1String(Table::Item), signature,
                                           QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')))))
            return d->dbError(d->itemQuery.lastError(), item.fileLine, Section::Item);
        d->itemSignature = signature;
    }
    for (int i = 0; i < values.size(); ++i)
        d->itemQuery.bindValue(i, values.at(i));
    if (!d->itemQuery.exec())
        return d->dbError(d->itemQuery.lastError(), item.fileLine, Section::Item);
    ++d->items;
    return true;
}

bool ManifestSaver::end()
{
    if (!d->started || !d->checkTotals())
        return false;
    if (d->options.cancelled && d->options.cancelled()) {
        Problem p;
        p.failure = Failure(ErrorNumber::Cancelled,
                            QStringLiteral("The import was cancelled; nothing of the file was stored."));
        p.cancelled = true;
        d->problems.raise(p);
        return false;
    }
    if (Status s = d->tx->commit(); !s)
        return d->dbFailure(s.failure());
    return true;
}

bool ManifestSaver::declined() const { return d->declined; }
QString ManifestSaver::vessel() const { return d->vessel; }
QString ManifestSaver::voyage() const { return d->voyage; }
qint64 ManifestSaver::headersStored() const { return d->headersStored; }
qint64 ManifestSaver::houses() const
{
    return d->housesStored;
}

qint64 ManifestSaver::lines() const { return d->lines; }
qint64 ManifestSaver::containers() const { return d->containers; }
qint64 ManifestSaver::items() const { return d->items; }
QStringList ManifestSaver::notices() const { return d->notices; }

SaveResult saveManifest(const Database &db, const Manifest &m, const SaveOptions &options, const Confirm &confirm)
{
    SaveResult r;
    FirstError problems;
    ManifestSaver saver(db, options, confirm, problems);
    if (replay(m, saver)) {
        r.outcome = Outcome::done(QLatin1String(Messages::Imported));
        r.outcome.notices = saver.notices();
        r.lines = saver.lines();
        r.containers = saver.containers();
    } else if (saver.declined()) {
        r.outcome = Outcome::declined();
    } else {
        const Problem p = problems.problem();
        r.outcome = Outcome::failed(p.failure, p.importMessage());
    }
    return r;
}

} // namespace quarl::igm
