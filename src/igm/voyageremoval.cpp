#include "igm/voyageremoval.h"

#include "igm/igmmessages.h"
#include "store/database.h"

#include <QSqlQuery>

namespace quarl::igm {

RemovalResult RemoveVoyage(const Database &db, const QString &vessel, const QString &voyage, bool withVessel,
                           const Confirm &confirm)
{
    RemovalResult result;
    if (!confirm || !confirm(QLatin1String(Messages::RemovalQuestion))) {
        result.outcome = Outcome::declined();
        return result;
    }
    const QVariantList key{vessel, voyage};

    Transaction tx(db);
    if (!tx.started()) {
        result.outcome = Outcome::failed(tx.started().failure());
        return result;
    }
    auto lines = db.scalar(QStringLiteral("select count(*) from cargo where vslcode = ? and voyno = ?"), key);
    if (!lines) {
        result.outcome = Outcome::failed(lines.failure());
        return result;
    }
    if (lines->toLongLong() == 0) {
        result.outcome = Outcome::refused(QLatin1String(Messages::NothingToRemove));
        return result;
    }
    auto containers = db.query(QStringLiteral("delete from contain where ref in "
                                              "(select id from cargo where vslcode = ? and voyno = ?)"),
                               key);
    if (!containers) {
        result.outcome = Outcome::failed(containers.failure());
        return result;
    }
    result.containers = containers->numRowsAffected();
    auto cargo = db.query(QStringLiteral("delete from cargo where vslcode = ? and voyno = ?"), key);
    if (!cargo) {
        result.outcome = Outcome::failed(cargo.failure());
        return result;
    }
    result.lines = cargo->numRowsAffected();
    if (withVessel) {
        auto headers = db.query(QStringLiteral("delete from vesinfo where vslcode = ? and voyno = ?"), key);
        if (!headers) {
            result.outcome = Outcome::failed(headers.failure());
            return result;
        }
        result.headers = headers->numRowsAffected();
    }
    // Reported only once it is stored.
    if (Status s = tx.commit(); !s) {
        result.outcome = Outcome::failed(s.failure());
        result.lines = result.containers = result.headers = 0;
        return result;
    }
    result.outcome = Outcome::done(QLatin1String(Messages::Removed));
    return result;
}

} // namespace quarl::igm
