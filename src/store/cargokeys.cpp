#include "store/cargokeys.h"

namespace quarl {

namespace {
// Any fixed number serves; it names the lock of the cargo keys among the advisory
// locks of the database.
constexpr qint64 CargoKeyLock = 0x51554152; // "QUAR"

// The counter row's table on SQLite and the sequence on PostgreSQL.
const char CounterTable[] = "cargokeys";
const char Sequence[] = "cargo_id_seq";
} // namespace

Result<bool> hasCargoKeyCounter(const Database &db)
{
    auto found = db.engine() == Engine::PostgreSQL
                     ? db.scalar(QStringLiteral("select count(*) from pg_class where relkind = 'S' and relname = ? "
                                                "and pg_table_is_visible(oid)"),
                                 {QLatin1String(Sequence)})
                     : db.scalar(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = ?"),
                                 {QLatin1String(CounterTable)});
    if (!found)
        return found.failure();
    return found->toLongLong() > 0;
}

Status installCargoKeyCounter(const Database &db)
{
    QStringList ddl;
    if (db.engine() == Engine::PostgreSQL) {
        ddl << QStringLiteral("create sequence cargo_id_seq owned by cargo.id")
            << QStringLiteral("select setval('cargo_id_seq', max(id)) from cargo having max(id) >= 1")
            << QStringLiteral(
                   "create function cargo_key_seen() returns trigger language plpgsql as $$ begin "
                   "if new.id > (select case when is_called then last_value else last_value - 1 end from cargo_id_seq) "
                   "then perform setval('cargo_id_seq', new.id); end if; return new; end $$")
            << QStringLiteral("create trigger cargo_key_seen after insert or update of id on cargo "
                              "for each row execute function cargo_key_seen()");
    } else {
        ddl << QStringLiteral("create table cargokeys (name varchar(20) primary key, lastkey integer not null)")
            << QStringLiteral("insert into cargokeys (name, lastkey) select 'cargo', coalesce(max(id), 0) from cargo")
            << QStringLiteral("create trigger cargo_key_seen after insert on cargo "
                              "when new.id > (select lastkey from cargokeys where name = 'cargo') "
                              "begin update cargokeys set lastkey = new.id where name = 'cargo'; end")
            << QStringLiteral("create trigger cargo_key_moved after update of id on cargo "
                              "when new.id > (select lastkey from cargokeys where name = 'cargo') "
                              "begin update cargokeys set lastkey = new.id where name = 'cargo'; end");
    }
    for (const QString &sql : std::as_const(ddl)) {
        if (Status s = db.exec(sql); !s)
            return s;
    }
    return Status::ok();
}

Result<qint64> nextCargoId(const Database &db)
{
    // Outside a transaction the lock would end with the statement and two writers could
    // take the same key.
    if (!db.inTransaction())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("A new cargo key is taken only inside a transaction."));
    if (db.engine() == Engine::PostgreSQL) {
        // Held until the transaction ends, commit or rollback alike: a writer counting on
        // from its first key finishes before the next one asks.
        Status locked = db.exec(QStringLiteral("select pg_advisory_xact_lock(?)"), {CargoKeyLock});
        if (!locked)
            return locked.failure();
    }
    // On SQLite the writer's transaction holds the file's write lock from its start
    // (begin immediate), which serialises the writers already.
    auto counted = hasCargoKeyCounter(db);
    if (!counted)
        return counted.failure();
    auto max = db.scalar(QStringLiteral("select max(id) from cargo"));
    if (!max)
        return max.failure();
    const qint64 next = (max->isNull() ? qint64(0) : max->toLongLong()) + 1;
    if (!counted.value())
        return next;
    if (db.engine() == Engine::PostgreSQL) {
        auto key = db.scalar(QStringLiteral("select nextval('cargo_id_seq')"));
        if (!key)
            return key.failure();
        // Never below a key that is there (written while the trigger was not yet made).
        return std::max(key->toLongLong(), next);
    }
    if (Status s = db.exec(QStringLiteral("update cargokeys set lastkey = max(lastkey, ?) + 1 where name = 'cargo'"),
                           {next - 1});
        !s)
        return s.failure();
    auto key = db.scalar(QStringLiteral("select lastkey from cargokeys where name = 'cargo'"));
    if (!key)
        return key.failure();
    if (!key->isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The key counter of the bills of lading has no row."));
    return key->toLongLong();
}

} // namespace quarl
