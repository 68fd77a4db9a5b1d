#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QDate>
#include <QString>

// The rules of the cargo screen's fields and container cells, apart from the widgets.
namespace quarl::CargoRules {

inline constexpr char TransportModeMessage[] = "T - Train / R - Road / S - Ship are valid options";
inline constexpr char NoUnoCode[] = "ZZZZZ";
inline constexpr char NoImoCode[] = "ZZZ";

// Key filters, per typed character. Numeric columns take digits, "." and "/".
bool numericKey(QChar c);
// The B/L number takes capital letters and digits only; lower case is dropped, not raised.
bool blNoKey(QChar c);

// Movement "TI" asks for the destination port, transport mode, carrier, bond and MLO.
bool isTranshipment(const QString &cargoMove);
// Natures "C" and "CP" are container cargo: the grid is open, volume and unit are not.
bool isContainerised(const QString &natureCargo);

// Packages: refused when the numeric value is 0 (empty and non-numeric count as 0).
bool packagesAcceptable(const QString &text);
// The B/L date: a real date (dd/MM/yyyy or d/M/yyyy) not after today.
bool blDateAcceptable(const QString &text, const QDate &today = QDate::currentDate());
// Why the B/L date is refused, in words; empty when it is accepted.
QString blDateRule(const QString &text, const QDate &today = QDate::currentDate());
inline constexpr char PackagesRule[] = "Pkgs. may not be 0";
// Transport mode: empty, "T", "R" or "S".
bool transportModeAcceptable(const QString &text);
// UNO and IMO codes: "ZZZZZ" / "ZZZ", or present in D_UNOIMCO.
Result<bool> unoCodeAcceptable(const Database &db, const QString &text);
Result<bool> imoCodeAcceptable(const Database &db, const QString &text);
// A port code of the port master (the destination port of a transhipment).
Result<bool> portCodeAcceptable(const Database &db, const QString &text);

// The grid columns, numbered as the grid shows them (0-based; 0 and 9 hidden). Seal type
// and equipment type, kept for today's arrival manifest, stand at the right end.
enum GridColumn { ColRef, ColContainerNo, ColSealNo, ColAgentCode, ColStatus, ColPkgs, ColWeight, ColIsoCode,
                  ColSocFlag, ColAutoid, ColSealType, ColEqType, GridColumnCount };

// The rule checked when an edit of a container cell ends; no message, only refusal.
Result<bool> cellAcceptable(const Database &db, int column, const QString &text);
// That rule in words, for the status line while a refused cell keeps the selection.
QString cellRule(int column);
// The cell that "copy from the row above" fills after an edit of column, or -1.
int copyTargetColumn(int column);

} // namespace quarl::CargoRules
