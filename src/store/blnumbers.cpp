#include "store/blnumbers.h"

namespace quarl {

Result<std::optional<BlNumberInUse>> blNumberInUse(const Database &db, const QString &vessel, const QString &voyage,
                                                   const QString &blno, qint64 exceptId, bool anyVoyage)
{
    auto q = anyVoyage
                 ? db.query(QStringLiteral("select id, vslcode, voyno from cargo where blno = ? and id <> ? order by "
                                           "case when vslcode = ? and voyno = ? then 0 else 1 end, id"),
                            {blno, exceptId, vessel, voyage})
                 : db.query(QStringLiteral("select id, vslcode, voyno from cargo where vslcode = ? and voyno = ? and "
                                           "blno = ? and id <> ? order by id"),
                            {vessel, voyage, blno, exceptId});
    if (!q)
        return q.failure();
    if (!q->next())
        return std::optional<BlNumberInUse>();
    BlNumberInUse use{q->value(0).toLongLong(), q->value(1).toString().trimmed(), q->value(2).toString().trimmed(), 0};
    auto line = db.scalar(QStringLiteral("select count(*) from cargo where vslcode = ? and voyno = ? and id <= ?"),
                          {q->value(1), q->value(2), use.id});
    if (!line)
        return line.failure();
    use.line = line->toLongLong();
    return std::optional<BlNumberInUse>(use);
}

Failure blNumberTaken(const QString &blno, const BlNumberInUse &use)
{
    return Failure(ErrorNumber::BlNumberTaken, QStringLiteral("B/L No. %1 is already line %2 of %3 / %4")
                                                   .arg(blno.trimmed())
                                                   .arg(use.line)
                                                   .arg(use.vessel, use.voyage));
}

} // namespace quarl
