#include "entry/goodsitems.h"

#include "entry/cargorules.h"
#include "entry/filingrules.h"
#include "store/filingfields.h"

namespace quarl::GoodsItems {

namespace {

const char *const ColumnCaptions[ColumnCount] = {"HS Code", "Description", "UNO", "IMO", "Pkgs", "Pkg Type"};

QString text(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString().trimmed();
}

} // namespace

Result<bool> isKept(const Database &db)
{
    return db.findTable(QLatin1String(Filing::ItemTable));
}

Result<QString> cellProblem(const Database &db, int column, const QString &text)
{
    const QString t = text.trimmed();
    switch (column) {
    case ColHsCode:
        return FilingRules::hsCode(t);
    case ColDescription:
        return t.size() > Filing::byKey(QStringLiteral("itemDtls.crgoItemDesc"))->width
                   ? QStringLiteral("a description takes at most 256 characters")
                   : QString();
    case ColUno: {
        if (t.isEmpty())
            return QString();
        auto ok = CargoRules::unoCodeAcceptable(db, t);
        if (!ok)
            return ok.failure();
        return ok.value() ? QString() : QStringLiteral("%1 is not in the UN number list (ZZZZZ for none)").arg(t);
    }
    case ColImo: {
        if (t.isEmpty())
            return QString();
        if (t.size() > 3)
            return QStringLiteral("an IMDG class takes at most 3 characters");
        auto ok = CargoRules::imoCodeAcceptable(db, t);
        if (!ok)
            return ok.failure();
        return ok.value() ? QString() : QStringLiteral("%1 is not in the IMO class list (ZZZ for none)").arg(t);
    }
    case ColPkgs:
        return FilingRules::wholeNumber(t);
    case ColPkgType:
        return FilingRules::listed(db, QStringLiteral("package"), QStringLiteral("pkg_cd"), t,
                                   QStringLiteral("package type"));
    default:
        return QString();
    }
}

Result<Problem> firstProblem(const Database &db, const QList<GoodsItem> &items)
{
    int n = -1;
    for (const GoodsItem &item : items) {
        if (!item.inUse())
            continue;
        ++n;
        const QString cells[ColumnCount] = {item.hscode, item.description, item.unocode,
                                            item.imocode, item.pkgs,        item.pkgtype};
        for (int c = 0; c < ColumnCount; ++c) {
            auto why = cellProblem(db, c, cells[c]);
            if (!why)
                return why.failure();
            if (!why->isEmpty())
                return Problem{n, c, why.value()};
        }
    }
    return Problem();
}

Status check(const Database &db, const QList<GoodsItem> &items)
{
    auto problem = firstProblem(db, items);
    if (!problem)
        return problem.failure();
    if (problem->item < 0)
        return Status::ok();
    return Failure(ErrorNumber::ItemRule, QStringLiteral("Item %1: %2: %3")
                                              .arg(problem->item + 1)
                                              .arg(QLatin1String(ColumnCaptions[problem->column]), problem->why));
}

Status write(const Database &db, qint64 ref, const QList<GoodsItem> &items)
{
    const QString table = QLatin1String(Filing::ItemTable);
    if (Status s = db.exec(QStringLiteral("delete from %1 where ref = ?").arg(table), {ref}); !s)
        return s;
    int seq = 0;
    for (const GoodsItem &item : items) {
        if (!item.inUse())
            continue;
        const QString pkgs = item.pkgs.trimmed();
        auto orNull = [](const QString &s) { return s.trimmed().isEmpty() ? QVariant() : QVariant(s.trimmed()); };
        if (Status s = db.exec(QStringLiteral("insert into %1 (ref, itemseq, hscode, itemdesc, unocode, imocode, pkgs, "
                                              "pkgtype) values (?, ?, ?, ?, ?, ?, ?, ?)")
                                   .arg(table),
                               {ref, ++seq, orNull(item.hscode), orNull(item.description), orNull(item.unocode),
                                orNull(item.imocode), pkgs.isEmpty() ? QVariant() : QVariant(pkgs.toLongLong()),
                                orNull(item.pkgtype)});
            !s)
            return s;
    }
    return Status::ok();
}

Result<QList<GoodsItem>> load(const Database &db, qint64 ref)
{
    QList<GoodsItem> out;
    const auto kept = isKept(db);
    if (!kept)
        return kept.failure();
    if (!kept.value())
        return out;
    auto q = db.query(QStringLiteral("select hscode, itemdesc, unocode, imocode, pkgs, pkgtype from %1 where ref = ? "
                                     "order by itemseq, autoid")
                          .arg(QLatin1String(Filing::ItemTable)),
                      {ref});
    if (!q)
        return q.failure();
    while (q->next())
        out << GoodsItem{text(q->value(0)), text(q->value(1)), text(q->value(2)),
                         text(q->value(3)), text(q->value(4)), text(q->value(5))};
    return out;
}

Status remove(const Database &db, qint64 ref)
{
    const auto kept = isKept(db);
    if (!kept)
        return kept.status();
    if (!kept.value())
        return Status::ok();
    return db.exec(QStringLiteral("delete from %1 where ref = ?").arg(QLatin1String(Filing::ItemTable)), {ref});
}

} // namespace quarl::GoodsItems
