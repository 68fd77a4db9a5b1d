// In-process timings of the IGM interchange routines on SQLite, without the start-up of
// a process: the made-up voyage, the flat-file writer, its import into an empty
// database, the XML export and its import, and the removal of the voyage.
//   bench_igm [LINES [CONTAINERS [RUNS]]]      (default 10000 50000 5)
#include "processmeasure.h"

#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "interchange/xmlinterchange.h"
#include "manifest/syntheticvoyage.h"
#include "manifest/voyageremoval.h"
#include "store/database.h"
#include "store/installer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quarl;
using namespace quarl::bench;

namespace {

Database open(const QString &path)
{
    auto db = Database::openSqlite(path);
    if (!db)
        die(db.failure().numberAndText());
    return db.value();
}

// Median milliseconds of runs calls of work, each after an untimed prepare.
double median(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int lines = args.size() > 1 ? args.at(1).toInt() : 10000;
    const int containers = args.size() > 2 ? args.at(2).toInt() : 50000;
    const int runs = args.size() > 3 ? args.at(3).toInt() : 5;

    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.qdb"));
    const QString source = dir.filePath(QStringLiteral("source.qdb"));
    const QString target = dir.filePath(QStringLiteral("target.qdb"));
    if (Status s = Installer::createDataFile(empty); !s)
        die(s.failure().numberAndText());
    QFile::copy(empty, source);
    const QString vessel = QStringLiteral("BENCH");
    const QString voyage = QStringLiteral("001");
    auto fresh = [&] {
        QFile::remove(target);
        QFile::copy(empty, target);
    };

    std::printf("voyage of %d lines and %d containers, median of %d runs\n\n", lines, containers, runs);
    std::printf("%-34s %10s\n", "routine", "ms");
    auto report = [](const char *name, double ms) { std::printf("%-34s %10.1f\n", name, ms); };

    {
        QElapsedTimer t;
        t.start();
        Database db = open(source);
        igm::SyntheticVoyage v{vessel, voyage, lines, containers, 1};
        if (Status s = igm::addSyntheticVoyage(db, v); !s)
            die(s.failure().numberAndText());
        report("synthetic voyage", t.nsecsElapsed() / 1e6);
    }

    igm::IgmWriteOptions options;
    options.iceGateUser = QStringLiteral("BENCHAGENT");
    options.customHouseCode = QStringLiteral("INNSA1");
    QString igmPath;
    report("WriteIgmFile", median(runs, [] {}, [&] {
        Database db = open(source);
        const auto r = igm::generateIgmFile(db, dir.path(), vessel, voyage, options);
        if (!r.outcome.isOk())
            die(r.outcome.message);
        igmPath = r.path;
    }));
    report("ImportIgmFile (empty database)", median(runs, fresh, [&] {
        Database db = open(target);
        igm::IgmImportOptions o;
        o.withVessel = true;
        const auto r = igm::importIgmFile(db, igmPath, o, [](const QString &) { return true; });
        if (!r.outcome.isOk())
            die(r.outcome.message);
    }));
    QString cargoXml, containXml;
    report("WriteXmlFiles", median(runs, [] {}, [&] {
        Database db = open(source);
        const auto r = igm::generateXmlFiles(db, dir.path(), vessel, voyage);
        if (!r.outcome.isOk())
            die(r.outcome.message);
        cargoXml = r.cargoPath;
        containXml = r.containerPath;
    }));
    report("ImportXmlFiles (empty database)", median(runs, fresh, [&] {
        Database db = open(target);
        const auto r = igm::importXmlFiles(db, cargoXml, containXml, vessel, voyage);
        if (!r.outcome.isOk())
            die(r.outcome.message);
    }));
    report("RemoveVoyage", median(runs, [&] {
        fresh();
        QFile::remove(target);
        QFile::copy(source, target);
    }, [&] {
        Database db = open(target);
        const auto r = igm::removeVoyage(db, vessel, voyage, true, [](const QString &) { return true; });
        if (!r.outcome.isOk())
            die(r.outcome.message);
    }));
    std::printf("\npeak memory of the process: %.1f MB\n", peakKb() / 1024.0);
    return 0;
}
