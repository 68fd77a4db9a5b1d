#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quarl {
class Database;
}

namespace quarl::test {

// Voyage ABCD / 123E of the expected file ABCD123E.igm: three lines (ids 7, 12, 20 with
// stored line numbers 1, 2, 5), three containers; plus voyage ABCD / 123F (line id 15
// with line number 1 and a container) that the file must not show.
Status addGoldenVoyage(const Database &db);
// Voyage 9V3523 / 22021W of 9V352322021W_ices15.igm: three lines, four containers.
Status addIces15Voyage(const Database &db);
// Voyage V2 / 7 of V27.igm: one line, no containers.
Status addSecondVoyage(const Database &db);

QByteArray readFixture(const QString &name);
QString fixturePath(const QString &name);

qint64 count(const Database &db, const QString &sql, const QVariantList &binds = {});
// lineno of the given cargo ids, in that order
QList<qint64> lineNumbers(const Database &db, const QList<qint64> &ids);
// rows of vesinfo + cargo + contain
qint64 voyageRows(const Database &db);

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &data);

inline constexpr char GatewayUser[] = "AGENT01";
inline constexpr char CustomHouse[] = "INNSA1";

} // namespace quarl::test
