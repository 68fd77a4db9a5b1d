#include "common/damagedfiles.h"

#include "filing/igmcheck.h"
#include "filing/igmreader.h"
#include "store/database.h"
#include "store/schema.h"

#include <QTemporaryDir>
#include <QTest>

namespace quarl::test {

Status createImportTables(const Database &db)
{
    for (const char *table : {"vesinfo", "cargo", "contain", "D_VESSEL_CD"}) {
        const TableDef *def = Schema::table(QLatin1String(table));
        if (Status s = db.exec(Schema::createTableSql(*def, db.dialect())); !s)
            return s;
        for (const IndexDef &ix : def->indexes) {
            if (Status s = db.exec(QStringLiteral("create %1index %2 on %3(%4)")
                                       .arg(ix.unique ? QStringLiteral("unique ") : QString(),
                                            db.dialect().indexName(QLatin1String(ix.name)), QLatin1String(table),
                                            QLatin1String(ix.columns)));
                !s)
                return s;
        }
    }
    if (!db.dialect().isPostgres())
        return db.exec(QStringLiteral("pragma synchronous = off"));
    return Status::ok();
}

MutationTally importDamagedFiles(const Database &db, const DamagedImports &d)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.igm"));
    return mutate(d.good, d.files, d.seed, [&](const QByteArray &data, int n, bool withVessel, bool strip) {
        if (!writeFile(path, data))
            return MutationOutcome::Broken;
        igm::IgmImportOptions options;
        options.withVessel = withVessel;
        options.strip = strip;
        const igm::IgmImportResult r = igm::importIgmFile(db, path, options, [](const QString &) { return true; });
        if (!r.outcome.isOk()) {
            if (r.outcome.message.isEmpty() || voyageRows(db) != 0
                || count(db, QStringLiteral("select count(*) from D_VESSEL_CD")) != 0) {
                qWarning("file %d stored rows: %s", n, qPrintable(r.outcome.message));
                return MutationOutcome::Broken;
            }
            if (!strip && igm::checkIgmData(data).errors() == 0) {
                qWarning("file %d was refused, the check finds nothing: %s", n, qPrintable(r.outcome.message));
                return MutationOutcome::Broken;
            }
            return MutationOutcome::Refused;
        }
        const auto strict = d.strictReading(data, withVessel, strip);
        const QStringList got = d.stored(db);
        const QString also = d.alsoStored ? d.alsoStored(db, r.lines, r.containers) : QString();
        if (!strict || got != *strict || !also.isEmpty()) {
            qWarning("file %d was imported as\n%s\na strict reading gives\n%s\n%s", n,
                     qPrintable(got.join(QLatin1Char('\n'))), strict ? qPrintable(strict->join(QLatin1Char('\n'))) : "nothing",
                     qPrintable(also));
            return MutationOutcome::Broken;
        }
        for (const char *table : {"contain", "cargo", "vesinfo", "D_VESSEL_CD"}) {
            if (Status s = db.exec(QStringLiteral("delete from %1").arg(QLatin1String(table))); !s) {
                qWarning("%s", qPrintable(s.failure().numberAndText()));
                return MutationOutcome::Broken;
            }
        }
        return MutationOutcome::Stored;
    });
}

void addMutationRows()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("files");
    QTest::newRow("sqlite") << QStringLiteral("sqlite") << 3000;
    QTest::newRow("postgres") << QStringLiteral("postgres") << 300;
}

} // namespace quarl::test
