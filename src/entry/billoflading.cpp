#include "entry/billoflading.h"

#include "core/settings.h"
#include "entry/voyageheader.h"
#include "store/blnumbers.h"
#include "store/cargolines.h"
#include "store/cargokeys.h"
#include "store/filingfields.h"
#include "store/schema.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <iterator>

namespace quarl {

namespace {

Failure ruleFailure(const char *message)
{
    return Failure(ErrorNumber::ContainerRule, QString::fromLatin1(message));
}

// The numeric value of a grid cell: 0 for empty text. The rules below refuse any other
// text that is not a number before anything is stored.
double cellNumber(const QString &text)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? d : 0.0;
}

bool isNumberOrEmpty(const QString &text, bool whole)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return true;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    return ok && d >= 0 && (!whole || d == qRound64(d));
}

QVariant dbValue(const Database &db, const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return db.dialect().dateToDb(value.toDate());
    return value;
}

QVariantList containerBinds(const Container &c, qint64 ref, bool filing)
{
    QVariantList binds{ref, c.containno, c.sealno, c.agentcode, c.constatus, qRound64(cellNumber(c.pkgs)),
                       cellNumber(c.weight), c.isocode, c.socflag};
    if (filing)
        binds << c.sealtype << c.eqtype;
    return binds;
}

// The container columns the save writes: those of release 2.2.0 too where they are kept.
QStringList containerColumns(bool filing)
{
    QStringList columns = {QStringLiteral("ref"),     QStringLiteral("containno"), QStringLiteral("sealno"),
                           QStringLiteral("agentcode"), QStringLiteral("constatus"), QStringLiteral("conpkgs"),
                           QStringLiteral("conwt"),   QStringLiteral("isocode"),   QStringLiteral("socflag")};
    if (filing) {
        for (const Filing::Field *f : Filing::addedColumns(QStringLiteral("contain")))
            columns << QLatin1String(f->column);
    }
    return columns;
}

// Fails when the database cannot be asked: a container read without its filing columns
// would be saved back without them.
Result<bool> keepsFilingColumns(const Database &db)
{
    auto columns = db.columnList(QStringLiteral("contain"));
    if (!columns)
        return columns.failure();
    return columns->contains(QStringLiteral("eqtype"), Qt::CaseInsensitive);
}

bool isHouseNumber(const QString &column)
{
    return column == QLatin1String("lineno") || column == QLatin1String("sublineno");
}

Failure houseRule(const QString &why)
{
    return Failure(ErrorNumber::HouseRule, why);
}

QString consolidatedOf(const QVariant &v)
{
    return v.toString().trimmed().toUpper();
}

// The house rules of a save, inside its transaction; for a new house the numbers it takes
// are added to columns and values.
Status keepHousesWhole(const Database &db, const BillOfLading &bol, QStringList &columns, QVariantList &values)
{
    const auto linked = keepsHouseLinks(db);
    if (!linked)
        return linked.failure();
    if (!linked.value())
        return Status::ok();
    const QString link = QLatin1String(HouseLinkColumn);
    const QVariant indicator = bol.value(QStringLiteral("consind"));
    if (bol.id != 0 && indicator.isValid() && !consolidatedOf(indicator).isEmpty()
        && consolidatedOf(indicator) != QLatin1String("C")) {
        auto houses = housesOf(db, bol.id);
        if (!houses)
            return houses.failure();
        if (!houses->isEmpty()) {
            const QString blno = bol.value(QStringLiteral("blno")).toString().trimmed();
            return houseRule(QStringLiteral("B/L %1 has %2 house B/L%3 under it: it stays Consolidated \"C\" until %4 "
                                            "deleted or moved.")
                                 .arg(blno)
                                 .arg(houses->size())
                                 .arg(houses->size() == 1 ? QString() : QStringLiteral("s"),
                                      houses->size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are")));
        }
    }
    const QVariant master = bol.value(link);
    if (master.isNull() || master.toLongLong() == 0)
        return Status::ok();
    const qint64 masterId = master.toLongLong();
    if (masterId == bol.id)
        return houseRule(QStringLiteral("A B/L cannot be a house B/L of itself."));
    const auto present = db.columnList(QStringLiteral("cargo"));
    if (!present)
        return present.failure();
    const bool filing = present.value().contains(QStringLiteral("consind"), Qt::CaseInsensitive);
    // The master stays locked until the save ends, so two desks adding houses under it at
    // once do not take the same sub-line number.
    const QString locked = db.engine() == Engine::PostgreSQL ? QStringLiteral(" for update") : QString();
    auto q = db.query(QStringLiteral("select lineno, %1%2 from cargo where id = ?")
                          .arg(link, filing ? QStringLiteral(", consind") : QString())
                          + locked,
                      {masterId});
    if (!q)
        return q.failure();
    if (!q->next())
        return houseRule(QStringLiteral("The master line of this house B/L is gone: another workstation deleted it."));
    const qint64 masterLine = q->value(0).toLongLong();
    const bool masterIsHouse = !q->value(1).isNull() && q->value(1).toLongLong() != 0;
    const QString masterKind = filing ? consolidatedOf(q->value(2)) : QString();
    q->finish();
    if (masterIsHouse)
        return houseRule(QStringLiteral("A house B/L goes under a master line, not under another house B/L."));
    if (!masterKind.isEmpty() && masterKind != QLatin1String("C"))
        return houseRule(QLatin1String(HouseNeedsConsolidated));
    if (bol.id != 0)
        return Status::ok();
    if (!columns.contains(QLatin1String("lineno"))) {
        columns << QStringLiteral("lineno");
        values << masterLine;
    }
    if (!columns.contains(QLatin1String("sublineno"))) {
        auto taken = db.query(QStringLiteral("select sublineno from cargo where %1 = ?").arg(link), {masterId});
        if (!taken)
            return taken.failure();
        QList<qint64> numbers;
        while (taken->next())
            numbers << taken->value(0).toLongLong();
        qint64 free = 1;
        while (numbers.contains(free))
            ++free;
        columns << QStringLiteral("sublineno");
        values << free;
    }
    return Status::ok();
}

Failure changedElsewhere()
{
    return Failure(ErrorNumber::RowChanged, QLatin1String(ChangedElsewhere));
}

Failure goneElsewhere()
{
    return Failure(ErrorNumber::RowGone, QLatin1String(DeletedElsewhere));
}

Status writeContainers(const Database &db, qint64 ref, const QList<Container> &containers)
{
    const auto kept = keepsFilingColumns(db);
    if (!kept)
        return kept.failure();
    const bool filing = kept.value();
    const QStringList columns = containerColumns(filing);
    const QString insert = QStringLiteral("insert into contain (%1) values (%2)")
                               .arg(columns.join(QStringLiteral(", ")),
                                    QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    const QString update = QStringLiteral("update contain set %1 = ? where autoid = ? and ref = ?")
                               .arg(columns.join(QStringLiteral(" = ?, ")));
    for (const Container &c : containers) {
        if (!c.inUse())
            continue;
        QVariantList binds = containerBinds(c, ref, filing);
        if (c.autoid > 0) {
            binds << c.autoid << ref;
            auto q = db.query(update, binds);
            if (!q)
                return q.failure();
            // Removed by another workstation: not stored again behind its back.
            if (q->numRowsAffected() == 0)
                return changedElsewhere();
            continue;
        }
        if (Status s = db.exec(insert, binds); !s)
            return s;
    }
    return Status::ok();
}

// The stored bill of lading must be the one the caller read.
Status stillAsRead(const Database &db, qint64 id, const BillOfLading &asRead)
{
    auto stored = loadBillOfLading(db, id, true);
    if (!stored)
        return stored.failure();
    if (!stored->has_value())
        return goneElsewhere();
    if (!sameBillOfLading(**stored, asRead))
        return changedElsewhere();
    return Status::ok();
}

} // namespace

const QStringList &cargoColumns()
{
    static const QStringList columns = {
        QStringLiteral("vslcode"),  QStringLiteral("voyno"),       QStringLiteral("blno"),     QStringLiteral("bldt"),
        QStringLiteral("portload"), QStringLiteral("portdest"),    QStringLiteral("impname"),  QStringLiteral("impadd1"),
        QStringLiteral("impadd2"),  QStringLiteral("impadd3"),     QStringLiteral("notname"),  QStringLiteral("notadd1"),
        QStringLiteral("notadd2"),  QStringLiteral("notadd3"),     QStringLiteral("naturecargo"), QStringLiteral("itemtype"),
        QStringLiteral("cargomove"), QStringLiteral("destcode"),   QStringLiteral("pkgs"),     QStringLiteral("pkgtype"),
        QStringLiteral("grosswt"),  QStringLiteral("unitwt"),      QStringLiteral("volume"),   QStringLiteral("unitvol"),
        QStringLiteral("marks"),    QStringLiteral("gdesc"),       QStringLiteral("unocode"),  QStringLiteral("imocode")};
    static const QStringList withFiling = [] {
        QStringList all = columns + Schema::icdCargoColumns();
        for (const Filing::Field *f : Filing::addedColumns(QStringLiteral("cargo")))
            all << QLatin1String(f->column);
        all << QLatin1String(HouseLinkColumn);
        return all;
    }();
    return withFiling;
}

Status checkContainers(const Database &db, const QList<Container> &containers)
{
    for (const Container &c : containers) {
        if (!c.inUse())
            continue;
        if (c.containno.size() < 10 || c.containno.size() > 11)
            return ruleFailure("Check Container No. Value");
        if (c.sealno.size() > 15)
            return ruleFailure("Seal No. should be less then 15 Characters");
        if (c.agentcode.size() > 10)
            return ruleFailure("Agent Code should be less then 10 Characters");
        if (c.constatus.size() != 3)
            return ruleFailure("Status should be 3 Characters");
        if (c.constatus != QLatin1String("FCL") && c.constatus != QLatin1String("LCL") && c.constatus != QLatin1String("MTY"))
            return ruleFailure("Container Status should be FCL/LCL/MTY");
        // "22G1" or "4O0" once went in as 0: a typing slip must not reach the manifest.
        if (!isNumberOrEmpty(c.pkgs, true))
            return ruleFailure("Container Packages should be a whole number");
        if (!isNumberOrEmpty(c.weight, false))
            return ruleFailure("Container Weight should be a number of tonnes");
        if (cellNumber(c.weight) > 99)
            return ruleFailure("Container Weight should not be more then 99 MT");
        if (c.isocode.size() != 4)
            return ruleFailure("ISO Code should 4 Characters");
        auto found = db.scalar(QStringLiteral("select iso_code from D_ISO_CD where iso_code = ?"), {c.isocode});
        if (!found)
            return found.failure();
        if (!found->isValid())
            return ruleFailure("Invalid ISO Code...");
        if (c.socflag != QLatin1String("Y") && c.socflag != QLatin1String("N"))
            return ruleFailure("SOC Flag should be Y / N");
    }
    return Status::ok();
}

namespace {

// Names the line that holds the bill's B/L number already, when one does.
Status blNumberFree(const Database &db, const BillOfLading &bol, bool anyVoyage)
{
    const QVariant blno = bol.value(QStringLiteral("blno"));
    if (!blno.isValid() || blno.toString().trimmed().isEmpty())
        return Status::ok();
    auto use = blNumberInUse(db, bol.value(QStringLiteral("vslcode")).toString(),
                             bol.value(QStringLiteral("voyno")).toString(), blno.toString(), bol.id, anyVoyage);
    if (!use)
        return use.failure();
    if (use.value())
        return blNumberTaken(blno.toString(), *use.value());
    return Status::ok();
}

Result<qint64> writeBillOfLading(const Database &db, const BillOfLading &bol, const QList<qint64> &removedAutoids,
                                 const BillOfLading *asLoaded)
{
    if (Status rule = checkContainers(db, bol.containers); !rule)
        return rule.failure();
    if (bol.items) {
        if (Status rule = GoodsItems::check(db, *bol.items); !rule)
            return rule.failure();
    }

    // A line cleared here goes no further than the voyage's port of arrival.
    auto destination = [&]() -> Result<QVariant> {
        auto port = VoyageHeader::voyagePortOfArrival(db, bol.value(QStringLiteral("vslcode")).toString(),
                                                      bol.value(QStringLiteral("voyno")).toString(),
                                                      Settings::customHousePort());
        if (!port)
            return port.failure();
        return QVariant(port.value());
    };
    QStringList columns;
    QVariantList values;
    for (auto it = bol.values.constBegin(); it != bol.values.constEnd(); ++it) {
        if (!cargoColumns().contains(it.key()) && !isHouseNumber(it.key()))
            return Failure(ErrorNumber::InvalidArgument, QStringLiteral("cargo has no column %1.").arg(it.key()));
        columns << it.key();
        QVariant v = dbValue(db, it.value());
        if (it.key() == QLatin1String("portdest") && v.toString().trimmed().isEmpty()) {
            auto port = destination();
            if (!port)
                return port.failure();
            v = port.value();
        }
        values << v;
    }
    if (!columns.contains(QLatin1String("portdest")) && bol.id == 0) {
        auto port = destination();
        if (!port)
            return port.failure();
        columns << QStringLiteral("portdest");
        values << port.value();
    }

    Transaction tx(db);
    if (!tx.started())
        return tx.started().failure();
    if (db.engine() == Engine::SQLite) {
        // A deferred transaction only reads until its first write, and two readers that both
        // want to write then fail at once instead of waiting. Writing first makes the second
        // workstation wait for the first one's commit before it reads the largest key.
        if (Status s = db.exec(QStringLiteral("update cargo set id = id where id = ?"), {bol.id}); !s)
            return s.failure();
    }

    qint64 id = bol.id;
    if (id != 0 && asLoaded) {
        if (Status s = stillAsRead(db, id, *asLoaded); !s)
            return s.failure();
    }
    if (Status s = keepHousesWhole(db, bol, columns, values); !s)
        return s.failure();
    if (id == 0) {
        auto next = nextCargoId(db);
        if (!next)
            return next.failure();
        id = next.value();
        QString marks = QStringLiteral("?");
        for (int i = 0; i < columns.size(); ++i)
            marks += QStringLiteral(", ?");
        QVariantList binds{id};
        binds << values;
        const QString sql = QStringLiteral("insert into cargo (id, %1) values (%2)").arg(columns.join(QStringLiteral(", ")), marks);
        if (Status s = db.exec(sql, binds); !s)
            return s.failure();
    } else if (!columns.isEmpty()) {
        QStringList sets;
        for (const QString &c : std::as_const(columns))
            sets << c + QStringLiteral(" = ?");
        QVariantList binds = values;
        binds << id;
        auto q = db.query(QStringLiteral("update cargo set %1 where id = ?").arg(sets.join(QStringLiteral(", "))), binds);
        if (!q)
            return q.failure();
        if (q->numRowsAffected() == 0)
            return goneElsewhere();
    }

    for (qint64 autoid : removedAutoids) {
        if (Status s = db.exec(QStringLiteral("delete from contain where autoid = ? and ref = ?"), {autoid, id}); !s)
            return s.failure();
    }
    if (Status s = writeContainers(db, id, bol.containers); !s)
        return s.failure();
    if (bol.items) {
        const auto kept = GoodsItems::isKept(db);
        if (!kept)
            return kept.failure();
        if (kept.value()) {
            if (Status s = GoodsItems::write(db, id, *bol.items); !s)
                return s.failure();
        } else if (std::any_of(bol.items->cbegin(), bol.items->cend(), [](const GoodsItem &i) { return i.inUse(); })) {
            return Failure(ErrorNumber::ItemRule,
                           QStringLiteral("This company database keeps no goods items yet: run Patches, Modify Tables "
                                          "for SCMTR Filing (2.2.0)."));
        }
    }
    if (Status s = tx.commit(); !s)
        return s.failure();
    return id;
}

} // namespace

Result<qint64> saveBillOfLading(const Database &db, const BillOfLading &bol, const QList<qint64> &removedAutoids,
                                const BillOfLading *asLoaded)
{
    // The number is looked for before anything is written; the unique index stays the
    // guard when two desks save it at once, and its refusal is named the same way.
    if (Status taken = blNumberFree(db, bol, false); !taken)
        return taken.failure();
    auto saved = writeBillOfLading(db, bol, removedAutoids, asLoaded);
    const Failure &f = saved.failure();
    if (!saved && !f.is(ErrorNumber::ContainerRule) && !f.is(ErrorNumber::RowChanged) && !f.is(ErrorNumber::RowGone)
        && !f.is(ErrorNumber::HouseRule)) {
        if (Status taken = blNumberFree(db, bol, true); !taken && taken.failure().is(ErrorNumber::BlNumberTaken))
            return taken.failure();
    }
    return saved;
}

Status deleteContainersOf(const Database &db, qint64 id, const QList<Container> *asShown)
{
    if (asShown) {
        auto stored = loadContainers(db, id);
        if (!stored)
            return stored.failure();
        if (stored.value() != *asShown)
            return changedElsewhere();
    }
    return db.exec(QStringLiteral("delete from contain where ref = ?"), {id});
}

Status deleteBillOfLading(const Database &db, qint64 id, const BillOfLading *asShown)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    if (asShown) {
        if (Status s = stillAsRead(db, id, *asShown); !s)
            return s;
    }
    if (auto houses = deleteHousesOf(db, id); !houses)
        return houses.failure();
    if (Status s = deleteContainersOf(db, id); !s)
        return s;
    if (Status s = GoodsItems::remove(db, id); !s)
        return s;
    if (Status s = db.exec(QStringLiteral("delete from cargo where id = ?"), {id}); !s)
        return s;
    return tx.commit();
}

Result<qint64> deleteHousesOf(const Database &db, qint64 masterId)
{
    const auto linked = keepsHouseLinks(db);
    if (!linked)
        return linked.failure();
    if (!linked.value())
        return qint64(0);
    QList<qint64> houses;
    {
        auto q = db.query(QStringLiteral("select id from cargo where %1 = ?").arg(QLatin1String(HouseLinkColumn)), {masterId});
        if (!q)
            return q.failure();
        while (q->next())
            houses << q->value(0).toLongLong();
    }
    for (qint64 house : std::as_const(houses)) {
        if (Status s = deleteContainersOf(db, house); !s)
            return s.failure();
        if (Status s = GoodsItems::remove(db, house); !s)
            return s.failure();
        if (Status s = db.exec(QStringLiteral("delete from cargo where id = ?"), {house}); !s)
            return s.failure();
    }
    return qint64(houses.size());
}

Result<QList<qint64>> housesOf(const Database &db, qint64 masterId)
{
    QList<qint64> houses;
    const auto linked = keepsHouseLinks(db);
    if (!linked)
        return linked.failure();
    if (!linked.value() || masterId == 0)
        return houses;
    auto q = db.query(QStringLiteral("select id from cargo where %1 = ? order by sublineno, id").arg(QLatin1String(HouseLinkColumn)),
                      {masterId});
    if (!q)
        return q.failure();
    while (q->next())
        houses << q->value(0).toLongLong();
    return houses;
}

Result<std::optional<BillOfLading>> loadBillOfLading(const Database &db, qint64 id, bool lock)
{
    // Not the columns the driver finds when it is not asked: a bill of lading read without
    // its values would pass the stale check of a save over it.
    const auto present = db.columnList(QStringLiteral("cargo"));
    if (!present)
        return present.failure();
    QStringList columns;
    for (const QString &c : cargoColumns()) {
        if (present.value().contains(c, Qt::CaseInsensitive))
            columns << c;
    }
    const QString locked = lock && db.engine() == Engine::PostgreSQL ? QStringLiteral(" for update") : QString();
    auto q = db.query(QStringLiteral("select %1 from cargo where id = ?").arg(columns.join(QStringLiteral(", "))) + locked,
                      {id});
    if (!q)
        return q.failure();
    if (!q->next())
        return std::optional<BillOfLading>();
    BillOfLading bol;
    bol.id = id;
    for (int i = 0; i < columns.size(); ++i)
        bol.set(columns.at(i), q->value(i));
    q->finish();
    auto containers = loadContainers(db, id);
    if (!containers)
        return containers.failure();
    bol.containers = containers.value();
    const auto kept = GoodsItems::isKept(db);
    if (!kept)
        return kept.failure();
    if (kept.value()) {
        auto items = GoodsItems::load(db, id);
        if (!items)
            return items.failure();
        bol.items = items.value();
    }
    return std::optional<BillOfLading>(bol);
}

bool sameBillOfLading(const BillOfLading &a, const BillOfLading &b)
{
    for (auto it = a.values.constBegin(); it != a.values.constEnd(); ++it) {
        const auto other = b.values.constFind(it.key());
        if (other != b.values.constEnd() && !Database::sameValue(it.value(), other.value()))
            return false;
    }
    QList<Container> mine, theirs;
    for (const Container &c : a.containers) {
        if (c.inUse())
            mine << c;
    }
    for (const Container &c : b.containers) {
        if (c.inUse())
            theirs << c;
    }
    if (mine != theirs)
        return false;
    // Goods items count only where both sides read them.
    if (!a.items || !b.items)
        return true;
    auto inUse = [](const QList<GoodsItem> &items) {
        QList<GoodsItem> used;
        std::copy_if(items.cbegin(), items.cend(), std::back_inserter(used), [](const GoodsItem &i) { return i.inUse(); });
        return used;
    };
    return inUse(*a.items) == inUse(*b.items);
}

Result<QList<Container>> loadContainers(const Database &db, qint64 id)
{
    const auto kept = keepsFilingColumns(db);
    if (!kept)
        return kept.failure();
    const bool filing = kept.value();
    auto q = db.query(QStringLiteral("select autoid, containno, sealno, agentcode, constatus, conpkgs, conwt, isocode, "
                                     "socflag%1 from contain where ref = ? order by autoid")
                          .arg(filing ? QStringLiteral(", sealtype, eqtype") : QString()),
                      {id});
    if (!q)
        return q.failure();
    QList<Container> out;
    auto text = [&](int i) {
        const QVariant v = q->value(i);
        if (v.isNull())
            return QString();
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
            return QLocale::c().toString(v.toDouble(), 'g', 15);
        return v.toString();
    };
    while (q->next()) {
        out << Container{q->value(0).toLongLong(), text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8),
                         filing ? text(9) : QString(), filing ? text(10) : QString()};
    }
    return out;
}

int containerGridRows(int count)
{
    return count >= 75 ? count + 6 : 75;
}

} // namespace quarl
