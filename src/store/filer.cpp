#include "store/filer.h"

#include "store/filingfields.h"

#include <QRegularExpression>

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

const QStringList &submitterTypes()
{
    static const QStringList types = {QStringLiteral("ASA"), QStringLiteral("ASC"), QStringLiteral("ATO"),
                                      QStringLiteral("ATP"), QStringLiteral("AES")};
    return types;
}

QString problem(const Details &d, const Details *shown)
{
    static const QRegularExpression code(QStringLiteral("^[A-Z0-9]{1,15}$"));
    static const QRegularExpression pan(QStringLiteral("^[A-Z]{5}[0-9]{4}[A-Z]$"));
    if ((!shown || shown->submitterType != d.submitterType) && !submitterTypes().contains(d.submitterType))
        return QStringLiteral("Submitter Type: \"%1\" is not one of %2").arg(d.submitterType, submitterTypes().join(QStringLiteral(", ")));
    if ((!shown || shown->submitterCode != d.submitterCode) && !code.match(d.submitterCode).hasMatch())
        return QStringLiteral("Submitter Code: 1 to 15 capital letters or digits (the PAN registered with Customs)");
    if ((!shown || shown->signerPan != d.signerPan) && !pan.match(d.signerPan).hasMatch())
        return QStringLiteral("Signer's PAN: a PAN is five letters, four digits and a letter (AAAAA9999A)");
    if ((!shown || shown->nextJobNumber != d.nextJobNumber) && (d.nextJobNumber < 1 || d.nextJobNumber > LastJobNumber))
        return QStringLiteral("Next Job No.: a whole number from 1 to %1").arg(LastJobNumber);
    return QString();
}

Status update(const Database &db, const Details &shown, const Details &typed)
{
    struct Column
    {
        const char *name;
        const char *caption;
        QVariant shown, typed;
    };
    const QList<Column> columns = {
        {"sbmtrtype", "Submitter Type", shown.submitterType, typed.submitterType},
        {"sbmtrcode", "Submitter Code", shown.submitterCode, typed.submitterCode},
        {"signerpan", "Signer's PAN", shown.signerPan, typed.signerPan},
        {"nextjobno", "Next Job No.", shown.nextJobNumber, typed.nextJobNumber},
    };
    QList<qsizetype> changed;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns.at(i).shown != columns.at(i).typed)
            changed << i;
    }
    if (changed.isEmpty())
        return Status::ok();
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    if (Status s = holdCounter(db); !s)
        return s;
    // the row locked before it is read, so no job number is taken meanwhile
    if (Status s = db.exec(QStringLiteral("update %1 set nextjobno = nextjobno where id = 1").arg(table())); !s)
        return s;
    auto now = read(db);
    if (!now)
        return now.failure();
    const QVariantList stored = {now->submitterType, now->submitterCode, now->signerPan, now->nextJobNumber};
    QStringList sets;
    QVariantList values;
    for (qsizetype at : changed) {
        const Column &c = columns.at(at);
        if (stored.at(at) != c.shown)
            return Failure(ErrorNumber::RowChanged,
                           QStringLiteral("Another workstation changed %1 to \"%2\" since this screen read it, so nothing "
                                          "was saved; close and open the screen again to see what is stored.")
                               .arg(QLatin1String(c.caption), stored.at(at).toString()));
        sets << QStringLiteral("%1 = ?").arg(QLatin1String(c.name));
        values << c.typed;
    }
    if (Status s = db.exec(QStringLiteral("update %1 set %2 where id = 1").arg(table(), sets.join(QStringLiteral(", "))), values); !s)
        return s;
    return tx.commit();
}

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
