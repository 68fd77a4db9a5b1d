#include "store/cargolines.h"

#include "store/database.h"

#include <QHash>
#include <QSqlQuery>

namespace quarl {

Result<bool> keepsHouseLinks(const Database &db)
{
    auto columns = db.columnList(QStringLiteral("cargo"));
    if (!columns)
        return columns.failure();
    return columns->contains(QLatin1String(HouseLinkColumn), Qt::CaseInsensitive);
}

std::vector<std::pair<qint64, qint64>> CargoOutline::renumbered() const
{
    std::vector<std::pair<qint64, qint64>> out;
    for (const CargoLine &l : lines) {
        if (l.storedLine != l.line)
            out.emplace_back(l.id, l.line);
    }
    return out;
}

std::vector<qsizetype> mastersByNumber(const std::vector<std::pair<qint64, qint64>> &numbers)
{
    std::vector<qsizetype> master(numbers.size(), -1);
    QHash<qint64, qsizetype> masterOfNumber;
    for (qsizetype i = 0; i < qsizetype(numbers.size()); ++i) {
        const auto &[line, sub] = numbers[size_t(i)];
        if (sub > 0) {
            if (const auto at = masterOfNumber.constFind(line); at != masterOfNumber.constEnd()) {
                master[size_t(i)] = at.value();
                continue;
            }
        }
        if (!masterOfNumber.contains(line))
            masterOfNumber.insert(line, i);
    }
    return master;
}

Result<CargoOutline> readCargoOutline(const Database &db, const QString &vessel, const QString &voyage)
{
    const Result<bool> linked = keepsHouseLinks(db);
    if (!linked)
        return linked.failure();
    auto q = db.query(QStringLiteral("select id, lineno, sublineno, naturecargo%1 from cargo where vslcode = ? and voyno = ? "
                                     "order by id")
                          .arg(linked.value() ? QStringLiteral(", ") + QLatin1String(HouseLinkColumn) : QString()),
                      {vessel, voyage});
    if (!q)
        return q.failure();
    std::vector<CargoLine> rows;
    std::vector<qint64> links;
    while (q->next()) {
        CargoLine l;
        l.id = q->value(0).toLongLong();
        l.storedLine = q->value(1).isNull() ? 0 : q->value(1).toLongLong();
        l.storedSub = q->value(2).isNull() ? 0 : q->value(2).toLongLong();
        l.nature = q->value(3).toString().trimmed().toUpper();
        links.push_back(linked.value() && !q->value(4).isNull() ? q->value(4).toLongLong() : 0);
        rows.push_back(std::move(l));
    }
    if (q->lastError().isValid())
        return db.failed(q->lastError());
    q->finish();

    // the index of each line's master, -1 for a master line
    std::vector<qsizetype> master;
    if (linked.value()) {
        QHash<qint64, qsizetype> at;
        for (qsizetype i = 0; i < qsizetype(rows.size()); ++i)
            at.insert(rows[size_t(i)].id, i);
        master.assign(rows.size(), -1);
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto m = links[i] != 0 ? at.constFind(links[i]) : at.constEnd();
            // only a line that is no house itself takes houses
            if (m != at.constEnd() && links[size_t(m.value())] == 0)
                master[i] = m.value();
        }
    } else {
        std::vector<std::pair<qint64, qint64>> numbers;
        numbers.reserve(rows.size());
        for (const CargoLine &l : rows)
            numbers.emplace_back(l.storedLine, l.storedSub);
        master = mastersByNumber(numbers);
    }

    QHash<qsizetype, std::vector<size_t>> houses;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (master[i] >= 0) {
            rows[i].master = rows[size_t(master[i])].id;
            houses[master[i]].push_back(i);
        }
    }
    CargoOutline outline;
    outline.lines.reserve(rows.size());
    for (size_t m = 0; m < rows.size(); ++m) {
        if (master[m] >= 0)
            continue;
        CargoLine &line = rows[m];
        line.line = ++outline.masters;
        outline.lines.push_back(line);
        for (size_t h : houses.value(qsizetype(m))) {
            rows[h].line = line.line;
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

Result<qint64> linkHousesByNumber(const Database &db)
{
    auto q = db.query(QStringLiteral("select id, vslcode, voyno, lineno, sublineno, %1 from cargo "
                                     "order by vslcode, voyno, id")
                          .arg(QLatin1String(HouseLinkColumn)));
    if (!q)
        return q.failure();
    std::vector<std::pair<qint64, qint64>> links; // house, master
    std::vector<qint64> ids;
    std::vector<bool> linkedAlready;
    std::vector<std::pair<qint64, qint64>> numbers;
    QVariant vessel, voyage;
    auto voyageDone = [&] {
        const std::vector<qsizetype> master = mastersByNumber(numbers);
        for (size_t i = 0; i < master.size(); ++i) {
            if (master[i] >= 0 && !linkedAlready[i])
                links.emplace_back(ids[i], ids[size_t(master[i])]);
        }
        ids.clear();
        linkedAlready.clear();
        numbers.clear();
    };
    while (q->next()) {
        if (!ids.empty() && (q->value(1) != vessel || q->value(2) != voyage))
            voyageDone();
        vessel = q->value(1);
        voyage = q->value(2);
        ids.push_back(q->value(0).toLongLong());
        numbers.emplace_back(q->value(3).isNull() ? 0 : q->value(3).toLongLong(),
                             q->value(4).isNull() ? 0 : q->value(4).toLongLong());
        linkedAlready.push_back(!q->value(5).isNull());
    }
    if (q->lastError().isValid())
        return db.failed(q->lastError());
    q->finish();
    voyageDone();

    QSqlQuery update(db.handle());
    if (!links.empty()
        && !update.prepare(QStringLiteral("update cargo set %1 = ? where id = ?").arg(QLatin1String(HouseLinkColumn))))
        return db.failed(update.lastError());
    for (const auto &[house, master] : links) {
        update.bindValue(0, master);
        update.bindValue(1, house);
        if (!update.exec())
            return db.failed(update.lastError());
    }
    return qint64(links.size());
}

} // namespace quarl
