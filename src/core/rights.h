#pragma once

#include <QString>

namespace quarl::Rights {

inline constexpr char SuperUser[] = " SU";

// Record-browser button codes of the user rights string.
inline constexpr char Add[] = " 01";
inline constexpr char Edit[] = " 02";
inline constexpr char Delete[] = " 03";
inline constexpr char Refresh[] = " 04";
inline constexpr char Search[] = " 05";

// The menu codes of the screens whose work quarlctl does as well; the desktop's menu gives
// its entries the same numbers.
namespace MenuCode {
inline constexpr int VesselInformation = 5;
inline constexpr int CargoInformation = 6;
inline constexpr int SystemParameter = 12;
inline constexpr int ImportXml = 13;
inline constexpr int RemoveData = 17;
inline constexpr int FlatFile = 19;
inline constexpr int Sam = 22;
} // namespace MenuCode

// Plain, case-sensitive substring searches; " SU" anywhere grants everything.
bool isSuperUser(const QString &rights);
bool grants(const QString &rights, const QString &code);
// Two-digit menu code of a running number: 5 gives "05", 17 gives "17".
QString menuCode(int number);
bool grantsMenu(const QString &menuRights, int number);

// A rights string as the user screen shows it: the codes without the super-user mark,
// which is a check box of its own.
QString codesShown(const QString &rights);
// What the screen stores: each typed code with the blank before it that the checks look
// for (" 01 02"), and " SU" when the box is ticked or "SU" was typed as a code.
QString composed(const QString &typedCodes, bool superUser);

} // namespace quarl::Rights
