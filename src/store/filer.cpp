#include "store/filer.h"

#include "store/filingfields.h"

namespace quarl::Filer {

namespace {

QString table()
{
    return QLatin1String(Filing::CompanyTable);
}

Failure noRow()
{
    return Failure(ErrorNumber::DatabaseError,
                   QStringLiteral("The company's filing details are missing: run Patches, Modify Tables for SCMTR "
                                  "Filing (2.2.0)."));
}

Result<qint64> take(const Database &db)
{
    // Writing first takes the row's lock before anything is read.
    auto q = db.query(QStringLiteral("update %1 set nextjobno = case when nextjobno is null or nextjobno < 1 then 2 "
                                     "when nextjobno >= ? then 1 else nextjobno + 1 end where id = 1")
                          .arg(table()),
                      {LastJobNumber});
    if (!q)
        return q.failure();
    if (q->numRowsAffected() == 0)
        return noRow();
    auto now = db.scalar(QStringLiteral("select nextjobno from %1 where id = 1").arg(table()));
    if (!now)
        return now.failure();
    const qint64 next = now->toLongLong();
    return next == 1 ? LastJobNumber : next - 1;
}

} // namespace

Result<Details> read(const Database &db)
{
    auto q = db.query(QStringLiteral("select sbmtrtype, sbmtrcode, signerpan, nextjobno from %1 where id = 1").arg(table()));
    if (!q)
        return q.failure();
    if (!q->next())
        return noRow();
    return Details{q->value(0).toString().trimmed(), q->value(1).toString().trimmed(),
                   q->value(2).toString().trimmed(), q->value(3).isNull() ? 1 : q->value(3).toLongLong()};
}

Status write(const Database &db, const Details &details)
{
    auto q = db.query(QStringLiteral("update %1 set sbmtrtype = ?, sbmtrcode = ?, signerpan = ? where id = 1").arg(table()),
                      {details.submitterType, details.submitterCode, details.signerPan});
    if (!q)
        return q.failure();
    if (q->numRowsAffected() == 0)
        return noRow();
    return Status::ok();
}

Result<qint64> takeJobNumber(const Database &db)
{
    if (db.inTransaction())
        return take(db);
    Transaction tx(db);
    if (!tx.started())
        return tx.started().failure();
    auto number = take(db);
    if (!number)
        return number;
    if (Status s = tx.commit(); !s)
        return s.failure();
    return number;
}

Status holdCounter(const Database &db)
{
    if (db.engine() != Engine::PostgreSQL)
        return Status::ok();
    // A lock statement takes no snapshot: the transaction's first read, after it, does.
    return db.exec(QStringLiteral("lock table %1 in share row exclusive mode").arg(table()));
}

} // namespace quarl::Filer
