#pragma once

// Saving and deleting a bill of lading with its containers: the one write path of the
// cargo screen, free of widgets so that other callers (load tests, imports, quarlctl)
// can run exactly the same statements.
//
//   BillOfLading bol;
//   bol.set("vslcode", "MAERSK1"); bol.set("voyno", "001"); bol.set("blno", "BL1"); ...
//   bol.containers << Container{0, "ABCD1234567", "S1", "AG", "FCL", "10", "12.5", "22G1", "N", "BTSL", "CN"};
//   Result<qint64> id = saveBillOfLading(db, bol);   // id 0 in bol: a new row
//
// A save runs in one transaction: the cargo row, every container, and the container
// rows the user removed. It either stores all of it or nothing. A new bill of lading
// takes its key inside that transaction (nextCargoId), so concurrent writers never get
// the same key. An edit passes the bill of lading as it was loaded when the edit began:
// the save then stores nothing when another workstation has changed or deleted it since.

#include "core/failure.h"
#include "entry/goodsitems.h"
#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace quarl {


// The descriptions of a stale save or delete refused (ErrorNumber::RowChanged, RowGone).
inline constexpr char ChangedElsewhere[] = "Another workstation changed this bill of lading after it was read here.";
inline constexpr char DeletedElsewhere[] = "Another workstation deleted this bill of lading.";

// One container row as typed in the grid: texts exactly as typed (blanks count for the
// length rules). autoid 0 for a row not stored yet.
struct Container
{
    qint64 autoid = 0;
    QString containno;
    QString sealno;
    QString agentcode;
    QString constatus;
    QString pkgs;   // numeric value stored (0 for empty or non-numeric text)
    QString weight; // numeric value stored (0 for empty or non-numeric text)
    QString isocode;
    QString socflag;
    // kept for today's arrival manifest (release 2.2.0 on)
    QString sealtype;
    QString eqtype;

    bool inUse() const { return !containno.isEmpty(); }
    bool operator==(const Container &) const = default;
};

// One cargo row and its containers.
struct BillOfLading
{
    qint64 id = 0; // 0: a new row, which gets the next free key when saved
    // Column of cargo -> value. Only the columns present are written, so an edited row keeps
    // what it holds in the others (lineno, sublineno, HBlNo ...). A QDate is stored as the
    // engine's date; a null QVariant stores null.
    QVariantMap values;
    QList<Container> containers;
    // The goods items; left as stored when not set.
    std::optional<QList<GoodsItem>> items;

    void set(const QString &column, const QVariant &value) { values.insert(column.toLower(), value); }
    QVariant value(const QString &column) const { return values.value(column.toLower()); }
};

// The columns of cargo that the cargo screen writes, and the link of a house B/L to its
// master line, which it keeps as it is: a change of any of them by another workstation
// makes a save stale.
const QStringList &cargoColumns();

// The container save rules, row by row from the top; the first rule that fails gives its
// message (failure ErrorNumber::ContainerRule). A database error of the ISO-code look-up
// comes back as that error. Rows without a container number are not tested.
Status checkContainers(const Database &db, const QList<Container> &containers);

// Checks the containers, then writes everything in one transaction: the cargo row (a new
// key for id 0; as destination port the voyage's port of arrival when empty), the containers in use (matched by
// autoid, so an edited container keeps its row; a new one gets a new autoid), the goods
// items when set (checked first, like the containers), and deletes the contain rows of
// removedAutoids. The columns written are those of cargoColumns() and, for a house B/L,
// lineno and sublineno. A B/L number already on another line of the voyage is refused first
// (ErrorNumber::BlNumberTaken, naming that line), and so is a refusal of the unique index.
// With asLoaded (an edit) the row and its containers must still be as loaded: otherwise
// nothing is written and the failure is ErrorNumber::RowChanged, or RowGone when the bill
// of lading was deleted. The house rules below hold (ErrorNumber::HouseRule). Returns the
// key of the stored row. On any failure, including a
// refused commit, the database is as before and bol is unchanged.
Result<qint64> saveBillOfLading(const Database &db, const BillOfLading &bol, const QList<qint64> &removedAutoids = {},
                                const BillOfLading *asLoaded = nullptr);

// The rules that keep a house B/L under its master line (failure ErrorNumber::HouseRule),
// checked by the save inside its transaction:
// - a line with house B/Ls under it stays consolidated: its Consolidated indicator may be
//   left empty (filed as "C" for a line with houses) but not set to anything other than "C";
// - a house goes under a master line that exists, is no house itself and is consolidated
//   ("C", or empty on a line of an older release);
// - a new house takes its master's line number and, unless given, the lowest sub-line
//   number (1, 2 ...) no other house of that master holds.
inline constexpr char HouseNeedsConsolidated[] = "A house B/L goes under a consolidated line (Consolidated \"C\") only.";

// The house B/Ls under a master line: their keys in sub-line order (then key).
Result<QList<qint64>> housesOf(const Database &db, qint64 masterId);

// Deletes the bill of lading and all its containers and goods items in one transaction,
// and the house B/Ls under it with theirs; with asShown only while it is still as shown
// (RowChanged, RowGone otherwise).
Status deleteBillOfLading(const Database &db, qint64 id, const BillOfLading *asShown = nullptr);

// Deletes the house B/Ls linked to a master line, with their containers and goods items,
// inside the caller's transaction: a house never stands as a line of its own. The number
// of houses deleted.
Result<qint64> deleteHousesOf(const Database &db, qint64 masterId);

// Deletes the containers of a bill of lading inside the caller's transaction; with
// asShown only while they are the ones shown (RowChanged otherwise).
Status deleteContainersOf(const Database &db, qint64 id, const QList<Container> *asShown = nullptr);

// The bill of lading as stored now: the columns of cargoColumns() the table has and its
// containers; no value when there is none with that key. With lock, inside a write
// transaction, the row stays locked until it ends.
Result<std::optional<BillOfLading>> loadBillOfLading(const Database &db, qint64 id, bool lock = false);

// Whether a bill of lading read back holds what another did: every column both hold, and
// the same containers.
bool sameBillOfLading(const BillOfLading &a, const BillOfLading &b);

// The containers of a bill of lading in the order they were stored (autoid).
Result<QList<Container>> loadContainers(const Database &db, qint64 id);

// The grid rows for a bill of lading with count containers: 75, or count + 6 from 75 on.
int containerGridRows(int count);

} // namespace quarl
