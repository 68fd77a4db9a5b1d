#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace quarl {
class Database;
}

namespace quarl::igm {

// The B/L number each cargo and container record of an IGM file (either layout) stands
// for, by the record's line of the file (1-based): so that what is found on a line of
// the file can name the bill of lading the clerk knows.
QHash<qint64, QString> blNumbersByFileLine(const QByteArray &file);

// The first B/L number of the file's lines that a stored line of vessel / voyage holds
// already, as the failure that names that line; none when no number is taken (or the
// look-up itself fails, which leaves the import's own message standing).
std::optional<Failure> blNumberTakenInFile(const Database &db, const QByteArray &file, const QString &vessel,
                                           const QString &voyage);

} // namespace quarl::igm
