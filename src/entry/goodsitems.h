#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QList>
#include <QString>

// The goods of a bill of lading as items (table cargoitem under the line), so that a
// bill of lading with several commodities can be filed with an HS code for each.
namespace quarl {


// One item as typed: texts exactly as typed. Its number is its place among the items in use.
struct GoodsItem
{
    QString hscode;
    QString description;
    QString unocode;
    QString imocode;
    QString pkgs;
    QString pkgtype;

    bool operator==(const GoodsItem &) const = default;
    bool inUse() const
    {
        return !(hscode.trimmed().isEmpty() && description.trimmed().isEmpty() && unocode.trimmed().isEmpty()
                 && imocode.trimmed().isEmpty() && pkgs.trimmed().isEmpty() && pkgtype.trimmed().isEmpty());
    }
};

namespace GoodsItems {

// Whether the database keeps items (release 2.2.0 on); fails when it cannot be asked.
Result<bool> isKept(const Database &db);

// The rule of one item column (the order of the items grid: 0 HS code, 1 description,
// 2 UNO, 3 IMO, 4 packages, 5 package type): empty when the text passes, else the reason.
enum Column { ColHsCode, ColDescription, ColUno, ColImo, ColPkgs, ColPkgType, ColumnCount };
Result<QString> cellProblem(const Database &db, int column, const QString &text);

// The first cell of the items in use that fails its rule, top to bottom, left to right.
struct Problem
{
    int item = -1; // among the items in use, 0-based; -1 when every item passes
    int column = -1;
    QString why;
};
Result<Problem> firstProblem(const Database &db, const QList<GoodsItem> &items);

// Every item in use against its rules; the first that fails gives ErrorNumber::ItemRule
// with "Item n: <column>: <reason>" (n counts the items in use from 1).
Status check(const Database &db, const QList<GoodsItem> &items);

// Replaces the items of the line ref by those in use, numbered 1, 2, ... Run it inside the
// line's save transaction.
Status write(const Database &db, qint64 ref, const QList<GoodsItem> &items);
// The items of a line in their order; none when the database keeps no items.
Result<QList<GoodsItem>> load(const Database &db, qint64 ref);
// Deletes the items of a line (nothing when the database keeps none).
Status remove(const Database &db, qint64 ref);

} // namespace GoodsItems
} // namespace quarl
