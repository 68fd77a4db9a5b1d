#include "store/filings.h"

#include "store/database.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace quarl::Filings {

namespace {

// Times as text, in one form on both engines: they sort as they read.
constexpr char TimeFormat[] = "yyyy-MM-ddTHH:mm:ss";

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QLatin1String(TimeFormat)) : QString();
}

QDateTime timeOf(const QVariant &v)
{
    return v.isNull() ? QDateTime() : QDateTime::fromString(v.toString().trimmed(), QLatin1String(TimeFormat));
}

const QString Columns = QStringLiteral(
    "id, vslcode, voyno, sender, jobno, jobdt, msgtyp, indicator, filepath, sha256, nlines, nhouses, ncontainers, "
    "quser, workstation, writtenat, state, nerrors, replyfile, replyat, nnumbers, reference, refdate");

Filing rowOf(const Database &db, const QSqlQuery &q)
{
    Filing f;
    int c = 0;
    auto text = [&] { return q.value(c++).toString().trimmed(); };
    auto number = [&] { return q.value(c++).toLongLong(); };
    f.id = number();
    f.vessel = text();
    f.voyage = text();
    f.sender = text();
    f.jobNumber = number();
    f.jobDate = db.dialect().dateFromDb(q.value(c++));
    f.messageType = text();
    f.indicator = text();
    f.path = text();
    f.sha256 = text();
    f.lines = number();
    f.houses = number();
    f.containers = number();
    f.user = text();
    f.workstation = text();
    f.written = timeOf(q.value(c++));
    f.state = stateOfLetter(text());
    f.errors = number();
    f.replyFile = text();
    f.replyRead = timeOf(q.value(c++));
    f.numbers = number();
    f.reference = text();
    f.referenceDate = text();
    return f;
}

Result<QList<Filing>> select(const Database &db, const QString &where, const QVariantList &binds)
{
    auto q = db.query(QStringLiteral("select %1 from %2%3 order by writtenat desc, id desc")
                          .arg(Columns, QLatin1String(Table), where.isEmpty() ? QString() : QStringLiteral(" where ") + where),
                      binds);
    if (!q)
        return q.failure();
    QList<Filing> out;
    while (q->next())
        out << rowOf(db, q.value());
    return out;
}

// Text cut to the width of its column: a long folder or host name must not stop a filing.
QString fit(const QString &s, int width)
{
    return s.size() <= width ? s : s.left(width);
}

} // namespace

QChar stateLetter(State s)
{
    switch (s) {
    case State::StructureFailure: return QLatin1Char('S');
    case State::Rejected: return QLatin1Char('R');
    case State::Accepted: return QLatin1Char('A');
    case State::Written: break;
    }
    return QLatin1Char('W');
}

State stateOfLetter(const QString &letter)
{
    if (letter == QLatin1String("S"))
        return State::StructureFailure;
    if (letter == QLatin1String("R"))
        return State::Rejected;
    if (letter == QLatin1String("A"))
        return State::Accepted;
    return State::Written;
}

QString Filing::fileName() const
{
    return QFileInfo(path).fileName();
}

QString Filing::stateText() const
{
    switch (state) {
    case State::StructureFailure:
        return errors == 1 ? QStringLiteral("structure failure, 1 error") : QStringLiteral("structure failure, %1 errors").arg(errors);
    case State::Rejected:
        return errors == 1 ? QStringLiteral("rejected with 1 error") : QStringLiteral("rejected with %1 errors").arg(errors);
    case State::Accepted:
        return QStringLiteral("accepted");
    case State::Written:
        break;
    }
    return QStringLiteral("written");
}

Result<bool> kept(const Database &db)
{
    return db.findTable(QLatin1String(Table));
}

Status record(const Database &db, const Filing &f)
{
    return db.exec(QStringLiteral("insert into %1 (vslcode, voyno, sender, jobno, jobdt, msgtyp, indicator, filepath, sha256, "
                                  "nlines, nhouses, ncontainers, quser, workstation, writtenat, state, nerrors, nnumbers) "
                                  "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0)")
                       .arg(QLatin1String(Table)),
                   {f.vessel, f.voyage, f.sender.trimmed(), f.jobNumber, db.dialect().dateToDb(f.jobDate),
                    f.messageType, f.indicator, f.path, f.sha256, f.lines, f.houses, f.containers, fit(f.user, 50),
                    fit(f.workstation, 64), timeText(f.written), QString(stateLetter(State::Written))});
}

Result<QList<Filing>> list(const Database &db, const QString &vessel, const QString &voyage)
{
    if (vessel.isEmpty())
        return select(db, {}, {});
    if (voyage.isEmpty())
        return select(db, QStringLiteral("vslcode = ?"), {vessel});
    return select(db, QStringLiteral("vslcode = ? and voyno = ?"), {vessel, voyage});
}

Result<std::optional<Filing>> answered(const Database &db, const QString &sender, qint64 jobNumber, const QDate &date)
{
    auto found = select(db, QStringLiteral("sender = ? and jobno = ?"), {sender.trimmed(), jobNumber});
    if (!found)
        return found.failure();
    if (found->isEmpty())
        return std::optional<Filing>();
    for (const Filing &f : found.value()) {
        if (date.isValid() && f.jobDate == date)
            return std::optional<Filing>(f);
    }
    return std::optional<Filing>(found->first());
}

Result<std::optional<Filing>> acceptedOriginal(const Database &db, const QString &vessel, const QString &voyage)
{
    auto found = select(db, QStringLiteral("vslcode = ? and voyno = ? and msgtyp = 'F' and indicator = 'P' and state = 'A'"),
                        {vessel, voyage});
    if (!found)
        return found.failure();
    return found->isEmpty() ? std::optional<Filing>() : std::optional<Filing>(found->first());
}

QString alreadyFiled(const Filing &f)
{
    return QStringLiteral("Voyage %1 / %2 was filed with job number %3 of %4 (%5) and the gateway accepted it: another "
                          "fresh SAM would be refused (error 358, IGM already submitted). Corrections go to the gateway "
                          "as an amendment.")
        .arg(f.vessel, f.voyage)
        .arg(f.jobNumber)
        .arg(f.jobDate.toString(QStringLiteral("dd/MM/yyyy")), f.fileName());
}

Result<qint64> storeReply(const Database &db, const Filing &filing, const ReplyOutcome &reply)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started().failure();
    if (Status s = db.exec(QStringLiteral("update %1 set state = ?, nerrors = ?, replyfile = ?, replyat = ?, nnumbers = ?, "
                                          "reference = ?, refdate = ? where id = ?")
                               .arg(QLatin1String(Table)),
                           {QString(stateLetter(reply.state)), reply.errors, fit(reply.replyFile, 120), timeText(reply.read),
                            qint64(reply.numbers.size()), fit(reply.reference, 35), fit(reply.referenceDate, 20), filing.id});
        !s)
        return s.failure();
    qint64 stored = 0;
    if (!reply.numbers.isEmpty()) {
        QSqlQuery q(db.handle());
        if (!q.prepare(QStringLiteral("update cargo set %1 = ?, %2 = ? where vslcode = ? and voyno = ? and lineno = ? and "
                                      "coalesce(sublineno, 0) = ?")
                           .arg(QLatin1String(NumberColumn), QLatin1String(NumberTypeColumn))))
            return db.failed(q.lastError());
        for (const ReplyOutcome::Number &n : reply.numbers) {
            q.bindValue(0, fit(n.number, 20));
            q.bindValue(1, fit(n.type, 4));
            q.bindValue(2, filing.vessel);
            q.bindValue(3, filing.voyage);
            q.bindValue(4, n.lineNo);
            q.bindValue(5, n.subLineNo);
            if (!q.exec())
                return db.failed(q.lastError());
            stored += q.numRowsAffected() > 0 ? 1 : 0;
        }
    }
    if (Status s = tx.commit(); !s)
        return s.failure();
    return stored;
}

} // namespace quarl::Filings
