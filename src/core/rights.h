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

// Plain, case-sensitive substring searches; " SU" anywhere grants everything.
bool isSuperUser(const QString &rights);
bool grants(const QString &rights, const QString &code);
// Two-digit menu code of a running number: 5 gives "05", 17 gives "17".
QString menuCode(int number);
bool grantsMenu(const QString &menuRights, int number);

} // namespace quarl::Rights
