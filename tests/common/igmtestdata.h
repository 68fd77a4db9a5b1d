#pragma once

#include "core/failure.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

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

// Byte mutations of a good file, each judged: stored (as a strict reading gives it),
// refused (storing nothing), or broken (a fault the judge has described).
enum class MutationOutcome { Stored, Refused, Broken };
struct MutationTally
{
    int stored = 0;
    int refused = 0;
    int broken = -1; // the first broken file, -1 when none
};
using MutationJudge = std::function<MutationOutcome(const QByteArray &file, int n, bool withVessel, bool strip)>;
MutationTally mutate(const QByteArray &good, int files, quint32 seed, const MutationJudge &judge);

inline constexpr char GatewayUser[] = "AGENT01";
inline constexpr char CustomHouse[] = "INNSA1";

} // namespace quarl::test
