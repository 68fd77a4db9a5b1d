#include "manifest/voyageremoval.h"

#include "manifest/igmmessages.h"
#include "store/database.h"
#include "store/filingfields.h"

#include <QSqlError>
#include <QSqlQuery>

namespace quarl::igm {

RemovalResult removeVoyage(const Database &db, const QString &vessel, const QString &voyage, bool withVessel,
                           const Confirm &confirm)
{
    RemovalResult result;
    if (!confirm || !confirm(QLatin1String(Messages::RemovalQuestion))) {
        result.outcome = Outcome::declined();
        return result;
    }
    const QVariantList key{vessel, voyage};

    // Declared before the transaction, so that they are released after it has ended.
    QSqlQuery lines(db.handle());
    QSqlQuery containers(db.handle());
    QSqlQuery items(db.handle());
    QSqlQuery cargo(db.handle());
    QSqlQuery headers(db.handle());
    auto run = [&](QSqlQuery &q, const QString &sql) {
        if (!q.prepare(sql))
            return false;
        for (const QVariant &v : key)
            q.addBindValue(v);
        return q.exec();
    };
    // Through the connection, so that a lost connection says so and the transaction it
    // ended refuses the rest.
    auto failedWith = [&](const Failure &f) {
        result = RemovalResult();
        result.outcome = Outcome::failed(f);
        return result;
    };
    auto failed = [&](const QSqlQuery &q) { return failedWith(db.failed(q.lastError())); };

    Transaction tx(db);
    if (!tx.started()) {
        result.outcome = Outcome::failed(tx.started().failure());
        return result;
    }
    if (!run(lines, QStringLiteral("select count(*) from cargo where vslcode = ? and voyno = ?")) || !lines.next())
        return failed(lines);
    if (lines.value(0).toLongLong() == 0) {
        result.outcome = Outcome::refused(QLatin1String(Messages::NothingToRemove));
        return result;
    }
    if (!run(containers, QStringLiteral("delete from contain where ref in "
                                        "(select id from cargo where vslcode = ? and voyno = ?)")))
        return failed(containers);
    result.containers = containers.numRowsAffected();
    const auto itemsKept = db.findTable(QLatin1String(Filing::ItemTable));
    if (!itemsKept)
        return failedWith(itemsKept.failure());
    if (itemsKept.value()) {
        if (!run(items, QStringLiteral("delete from %1 where ref in (select id from cargo where vslcode = ? and voyno = ?)")
                            .arg(QLatin1String(Filing::ItemTable))))
            return failed(items);
        result.items = items.numRowsAffected();
    }
    if (!run(cargo, QStringLiteral("delete from cargo where vslcode = ? and voyno = ?")))
        return failed(cargo);
    result.lines = cargo.numRowsAffected();
    if (withVessel) {
        if (!run(headers, QStringLiteral("delete from vesinfo where vslcode = ? and voyno = ?")))
            return failed(headers);
        result.headers = headers.numRowsAffected();
    }
    // Reported only once it is stored.
    if (Status s = tx.commit(); !s) {
        result.outcome = Outcome::failed(s.failure());
        result.lines = result.containers = result.items = result.headers = 0;
        return result;
    }
    result.outcome = Outcome::done(QLatin1String(Messages::Removed));
    return result;
}

} // namespace quarl::igm
