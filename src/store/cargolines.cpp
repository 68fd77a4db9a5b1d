#include "store/cargolines.h"

#include "store/database.h"

#include <QHash>
#include <QSqlQuery>

namespace quarl {

std::vector<std::pair<qint64, qint64>> CargoOutline::renumbered() const
{
    std::vector<std::pair<qint64, qint64>> out;
    for (const CargoLine &l : lines) {
        if (l.storedLine != l.line)
            out.emplace_back(l.id, l.line);
    }
    return out;
}

Result<CargoOutline> readCargoOutline(const Database &db, const QString &vessel, const QString &voyage)
{
    auto q = db.query(QStringLiteral("select id, lineno, sublineno, naturecargo from cargo where vslcode = ? and voyno = ? "
                                     "order by id"),
                      {vessel, voyage});
    if (!q)
        return q.failure();
    std::vector<CargoLine> rows;
    while (q->next()) {
        CargoLine l;
        l.id = q->value(0).toLongLong();
        l.storedLine = q->value(1).isNull() ? 0 : q->value(1).toLongLong();
        l.storedSub = q->value(2).isNull() ? 0 : q->value(2).toLongLong();
        l.nature = q->value(3).toString().trimmed().toUpper();
        rows.push_back(std::move(l));
    }
    if (q->lastError().isValid())
        return db.failed(q->lastError());
    q->finish();

    // A line with a sub-line number goes under the first master line of its number before it.
    QHash<qint64, size_t> masterOfNumber;
    std::vector<size_t> masters;
    QHash<size_t, std::vector<size_t>> houses;
    for (size_t i = 0; i < rows.size(); ++i) {
        CargoLine &l = rows[i];
        if (l.storedSub > 0) {
            if (const auto at = masterOfNumber.constFind(l.storedLine); at != masterOfNumber.constEnd()) {
                l.master = rows[at.value()].id;
                houses[at.value()].push_back(i);
                continue;
            }
        }
        if (!masterOfNumber.contains(l.storedLine))
            masterOfNumber.insert(l.storedLine, i);
        masters.push_back(i);
    }

    CargoOutline outline;
    outline.lines.reserve(rows.size());
    for (size_t m : masters) {
        CargoLine &master = rows[m];
        master.line = ++outline.masters;
        outline.lines.push_back(master);
        for (size_t h : houses.value(m)) {
            rows[h].line = master.line;
            outline.lines.push_back(rows[h]);
        }
    }
    return outline;
}

Status storeLineNumbers(const Database &db, const CargoOutline &outline)
{
    QSqlQuery update(db.handle());
    bool prepared = false;
    for (const auto &[id, line] : outline.renumbered()) {
        if (!prepared && !update.prepare(QStringLiteral("update cargo set lineno = ? where id = ?")))
            return db.failed(update.lastError());
        prepared = true;
        update.bindValue(0, line);
        update.bindValue(1, id);
        if (!update.exec())
            return db.failed(update.lastError());
    }
    return Status::ok();
}

} // namespace quarl
