#include "store/cargokeys.h"

namespace quarl {

namespace {
// Any fixed number serves; it names the lock of the cargo keys among the advisory
// locks of the database.
constexpr qint64 CargoKeyLock = 0x51554152; // "QUAR"
} // namespace

Result<qint64> nextCargoId(const Database &db)
{
    // Outside a transaction the lock would end with the statement and two writers could
    // take the same key.
    if (!db.inTransaction())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("A new cargo key is taken only inside a transaction."));
    if (db.engine() == Engine::PostgreSQL) {
        // Held until the transaction ends, commit or rollback alike.
        Status locked = db.exec(QStringLiteral("select pg_advisory_xact_lock(?)"), {CargoKeyLock});
        if (!locked)
            return locked.failure();
    }
    // On SQLite the writer's transaction holds the file's write lock from its start
    // (begin immediate), which serialises the writers already.
    auto max = db.scalar(QStringLiteral("select max(id) from cargo"));
    if (!max)
        return max.failure();
    return (max->isNull() ? qint64(0) : max->toLongLong()) + 1;
}

} // namespace quarl
