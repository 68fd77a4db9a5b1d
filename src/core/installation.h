#pragma once

#include <QString>

namespace quarl::Installation {

// The folder that holds Quarl.ini, the system database, the data-source registry and
// every file the program writes: the override (quarlctl --home), else $QUARL_HOME,
// else the executable's folder when a Quarl.ini lies beside it, else ~/.local/share/Quarl.
QString folder();
QString filePath(const QString &fileName);

void setOverride(const QString &folder);

inline constexpr char SettingsFileName[] = "Quarl.ini";
inline constexpr char SystemDatabaseFileName[] = "QuarlSys.qdb";
inline constexpr char RegistryFileName[] = "DataSources.ini";
// Company data files: SQLite databases; the file chooser lists them by this pattern.
inline constexpr char DataFileSuffix[] = ".qdb";
inline constexpr char DataFileFilter[] = "*.qdb";

} // namespace quarl::Installation
