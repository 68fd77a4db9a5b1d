#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace quarl {
class Database;
}

namespace quarl::test {

// What an import of an IGM file must store, read by the file's layout alone and written
// apart from the reader: one text per row ("V|..." vessel, "C|..." line, "K|..." container),
// in file order; nullopt when the file is not a complete, consistent manifest.
std::optional<QStringList> strictReading(const QByteArray &file, bool withVessel, bool strip);

// The rows of vesinfo, cargo and contain in the same form, in key order.
QStringList storedVoyage(const Database &db);

// The same for a file of today's layout (ICES 1.5): "V|..." vessel, "M|..." the vessel
// code master's row, "C|..." line, "K|..." container, with the columns that layout fills.
std::optional<QStringList> strictIcesReading(const QByteArray &file, bool withVessel, bool strip);
QStringList storedIcesVoyage(const Database &db);

} // namespace quarl::test
