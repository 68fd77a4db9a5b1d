#include "common/filesizelimit.h"
#include "common/igmtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"
#include "common/samtestdata.h"

#include "manifest/manifeststore.h"
#include "manifest/outcome.h"
#include "sam/samfile.h"
#include "sam/samlayout.h"
#include "store/datasourceregistry.h"
#include "store/filer.h"
#include "store/filings.h"
#include "store/schema.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("GOLD");
const QString Voyage = QStringLiteral("024E");

SamImportResult import(const Database &db, const QString &path)
{
    SamImportOptions options;
    options.vessel = Vessel;
    return importSamFile(db, path, options, [](const QString &) { return true; });
}

SamWriteOptions asTheHandWrittenFile()
{
    SamWriteOptions o;
    o.iceGateUser = QStringLiteral("QUARLAGT");
    o.customHouseCode = QStringLiteral("INNSA1");
    o.testOrProduction = QStringLiteral("T");
    o.written = QDateTime(QDate(2025, 3, 10), QTime(10, 30));
    o.jobNumber = 17;
    return o;
}

Json parsed(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Json();
    const QByteArray data = f.readAll();
    return Json::parse(data.constBegin(), data.constEnd(), nullptr, false);
}

// Without what changes from one writing to the next: the header's number, date and time
// and the job number.
Json withoutTheHeader(Json doc)
{
    for (const char *k : {"sequenceOrControlNumber", "date", "time"})
        doc["headerField"].erase(k);
    for (const char *k : {"jobNo", "jobDt"})
        doc["master"]["decRef"].erase(k);
    return doc;
}

qint64 rows(const Database &db, const char *table)
{
    auto n = db.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
    return n ? n->toLongLong() : -1;
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// quarlctl as an administrator's script runs it.
Run quarlctl(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString fileOfJob(qint64 job)
{
    return samFileName(QStringLiteral("QUARLAGT"), job, QDate::currentDate());
}

// source: --db FILE or --dsn NAME
QStringList writeSamArgs(const QStringList &source, const QString &out)
{
    return QStringList{QStringLiteral("write-sam")} + source
           + QStringList{QStringLiteral("--vessel"), Vessel, QStringLiteral("--voyage"), Voyage, QStringLiteral("--out"), out,
                         QStringLiteral("--icegate-user"), QStringLiteral("QUARLAGT"), QStringLiteral("--custom-house"),
                         QStringLiteral("INNSA1")};
}

// A voyage of count lines with nothing but their B/L numbers; why says what failed.
bool keepBareVoyage(const Database &db, qint64 count, QString *why)
{
    FirstError problems;
    SaveOptions save;
    save.withVessel = true;
    const Confirm yes = [](const QString &) { return true; };
    ManifestSaver saver(db, save, yes, problems);
    VoyageHeader h;
    h[VoyageColumn::Code] = Vessel;
    h[VoyageColumn::Voyage] = Voyage;
    std::vector<VoyageHeader> headers{h};
    VesselMaster vessel;
    vessel.code = Vessel;
    bool kept = saver.headers(std::move(headers), std::move(vessel));
    for (qint64 no = 1; kept && no <= count; ++no) {
        Bill l;
        l[BillColumn::LineNo] = no;
        l[BillColumn::SubLineNo] = 0;
        l[BillColumn::BlNo] = QStringLiteral("BL%1").arg(no);
        kept = saver.bill(std::move(l));
    }
    if (kept && saver.end())
        return true;
    *why = problems.problem().failure.numberAndText();
    return false;
}

} // namespace

// The SAM file of a voyage of the database: written as the hand-written file of the small
// voyage, read back into an empty company and written again the same; refusals that store
// nothing; no file and no job number spent while the check finds errors.
class TestSamFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data() { test::addEngineRows(); }
    void roundTrip()
    {
        QFETCH(QString, engine);
        QTemporaryDir out;
        QUARL_COMPANY_DB(first, engine);
        QUARL_VERIFY_OK(test::keepGoldenFiler(first.db()));
        const SamImportResult in = import(first.db(), test::samFixture(QStringLiteral("golden_small.json")));
        QVERIFY2(in.outcome.isOk(), qPrintable(in.outcome.message + in.outcome.failure.numberAndText()));
        QCOMPARE((std::tuple{in.lines, in.containers, in.items}), (std::tuple{qint64(6), qint64(7), qint64(6)}));

        const SamWriteResult w = writeSamFile(first.db(), out.path(), Vessel, Voyage, asTheHandWrittenFile());
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message + w.outcome.failure.numberAndText()));
        QCOMPARE(QFileInfo(w.path).fileName(), QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_DEC.json"));
        QVERIFY(w.check.findings.isEmpty());
        const Json written = parsed(w.path);
        const Json golden = test::samGolden();
        QVERIFY2(written == golden, written.dump(1).c_str()); // key order included
        QFile raw(w.path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.readAll().startsWith("\xEF\xBB\xBF"));
        QString why;
        QCOMPARE(test::samSchemaVerdict(w.path, &why), QStringList());
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left

        // into an empty company and out again, with the company's own job number
        QUARL_COMPANY_DB(second, engine);
        QUARL_VERIFY_OK(test::keepGoldenFiler(second.db()));
        const SamImportResult back = import(second.db(), w.path);
        QVERIFY2(back.outcome.isOk(), qPrintable(back.outcome.failure.numberAndText()));
        SamWriteOptions again = asTheHandWrittenFile();
        again.jobNumber = 0;
        again.written = QDateTime(QDate(2025, 3, 11), QTime(9, 5));
        const SamWriteResult w2 = writeSamFile(second.db(), out.path(), Vessel, Voyage, again);
        QVERIFY2(w2.outcome.isOk(), qPrintable(w2.outcome.failure.numberAndText()));
        QCOMPARE(w2.jobNumber, qint64(1));
        QCOMPARE(QFileInfo(w2.path).fileName(), QStringLiteral("F_SACHM23_SAM_QUARLAGT_1_20250311_DEC.json"));
        const Json rewritten = parsed(w2.path);
        QVERIFY2(withoutTheHeader(rewritten) == withoutTheHeader(written), rewritten.dump(1).c_str());
        QVERIFY(rewritten["master"]["decRef"]["jobNo"] == Json(1));
        QCOMPARE(Filer::read(second.db()).value().nextJobNumber, qint64(2));
    }

    // The voyage read a slice at a time, as the SAM writer reads it, holds what the voyage
    // read whole holds: a house B/L keyed after later lines stays under its master, one
    // without its master stands as a line of its own, a slice of lines keeps a master's
    // houses with it; numbered as filed.
    void slicesAsWhole_data() { test::addEngineRows(); }
    void slicesAsWhole()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        FirstError problems;
        SaveOptions save;
        save.withVessel = true;
        const Confirm yes = [](const QString &) { return true; };
        ManifestSaver saver(t.db(), save, yes, problems);
        VoyageHeader h;
        h[VoyageColumn::Code] = Vessel;
        h[VoyageColumn::Voyage] = Voyage;
        std::vector<VoyageHeader> headers{h};
        VesselMaster vessel;
        vessel.code = Vessel;
        QVERIFY(saver.headers(std::move(headers), std::move(vessel)));
        auto line = [&](qint64 no, qint64 sub, const QString &bl) {
            Bill l;
            l[BillColumn::LineNo] = no;
            l[BillColumn::SubLineNo] = sub;
            l[BillColumn::BlNo] = bl;
            return saver.bill(std::move(l));
        };
        auto box = [&](qint64 no, qint64 sub, const QString &id) {
            Container c;
            c[ContainerColumn::LineNo] = no;
            c[ContainerColumn::SubLineNo] = sub;
            c[ContainerColumn::Number] = id;
            return saver.container(std::move(c));
        };
        for (qint64 no = 1; no <= 600; ++no) {
            QVERIFY(line(no, 0, QStringLiteral("M%1").arg(no)));
            if (no == 512 || no == 513)
                QVERIFY(line(no, 1, QStringLiteral("H%1").arg(no)));
        }
        QVERIFY(line(1, 1, QStringLiteral("H1LATE")));  // keyed after line 600
        QVERIFY(line(999, 2, QStringLiteral("ALONE"))); // no line 999 before it
        QVERIFY(box(1, 0, QStringLiteral("BOXA")) && box(1, 1, QStringLiteral("BOXB")) && box(513, 1, QStringLiteral("BOXC"))
                && box(513, 0, QStringLiteral("BOXD")) && box(1, 0, QStringLiteral("BOXE")));
        Item item;
        item.columns.insert(QStringLiteral("hscode"), QStringLiteral("854239"));
        QVERIFY(saver.item(512, 1, std::move(item)));
        QVERIFY2(saver.end(), qPrintable(problems.problem().failure.numberAndText()));

        auto described = [](const Bill &l) {
            QStringList d;
            auto one = [&](const Bill &x) {
                QStringList boxes;
                for (const Container &c : x.containers)
                    boxes << c.text(ContainerColumn::Number);
                QStringList items;
                for (const Item &i : x.items)
                    items << i.columns.value(QStringLiteral("hscode")).toString();
                d << QStringLiteral("%1/%2 %3 [%4] {%5}").arg(x.text(BillColumn::LineNo), x.text(BillColumn::SubLineNo), x.bill(),
                                                             boxes.join(QLatin1Char(',')), items.join(QLatin1Char(',')));
            };
            one(l);
            for (const Bill &house : l.houses)
                one(house);
            return d;
        };
        Result<Manifest> whole = loadVoyage(t.db(), Vessel, Voyage);
        QVERIFY(whole.isOk());
        QStringList expected;
        numberLines(whole.value());
        for (Bill &l : whole->bills) {
            qint64 sub = 0;
            for (Bill &house : l.houses)
                house[BillColumn::SubLineNo] = ++sub;
            expected << described(l);
        }
        QCOMPARE(expected.size(), 604);
        QCOMPARE(expected.mid(0, 2), (QStringList{"1/0 M1 [BOXA,BOXE] {}", "1/1 H1LATE [BOXB] {}"}));
        QCOMPARE(expected.last(), QStringLiteral("601/0 ALONE [] {}"));

        Transaction tx(t.db(), TxMode::Read);
        Result<NestedVoyage> nested = NestedVoyage::open(t.db(), Vessel, Voyage);
        QVERIFY(nested.isOk());
        QCOMPARE((std::pair{nested->masterCount(), nested->billCount()}), (std::pair{qint64(601), qint64(604)}));
        QStringList sliced;
        QUARL_VERIFY_OK(nested->readBills([&](Bill &&l) {
            sliced << described(l);
            return true;
        }));
        QCOMPARE(sliced, expected);
        QStringList boxes;
        QUARL_VERIFY_OK(nested->containers({ContainerColumn::Number}, [&](Container &&c, bool onMaster) {
            boxes << c.text(ContainerColumn::Number) + (onMaster ? QString() : QStringLiteral("*"));
            return true;
        }));
        QCOMPARE(boxes, (QStringList{"BOXA", "BOXE", "BOXB*", "BOXD", "BOXC*"}));
        // ALONE (999/2 as stored) is filed as line 601; the others keep their numbers
        QCOMPARE(nested->renumbered().size(), size_t(1));
    }

    // Each refusal names the line and the key, and nothing of the file is stored.
    void importRefusals_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("named");
        QTest::newRow("line total off by one") << "set /master/voyageDtls/totalNmbrOfLines 5"
                                               << "The voyage counts 5 lines, the file holds 4";
        QTest::newRow("weight as text") << "set /master/mastrCnsgmtDec/2/trnsprtEqmt/0/cntrWeight \"heavy\""
                                        << "/master/mastrCnsgmtDec/2/trnsprtEqmt/0/cntrWeight";
        QTest::newRow("B/L date no date") << "set /master/mastrCnsgmtDec/1/MCRef/mstrBlDt \"20251340\""
                                          << "/master/mastrCnsgmtDec/1/MCRef/mstrBlDt";
        QTest::newRow("line number twice") << "set /master/mastrCnsgmtDec/3/MCRef/lineNo 1" << "1";
    }
    void importRefusals()
    {
        QFETCH(QString, edits);
        QFETCH(QString, named);
        Json doc = test::samGolden();
        QString why;
        QVERIFY2(test::editJson(doc, edits, &why), qPrintable(why));
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("broken.json")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(doc.dump(1)));
        f.close();
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const SamImportResult r = import(t.db(), f.fileName());
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.contains(named) || r.outcome.failure.description.contains(named),
                 qPrintable(r.outcome.message + QLatin1Char('|') + r.outcome.failure.description));
        for (const char *table : {"vesinfo", "cargo", "contain", "D_VESSEL_CD"})
            QCOMPARE(rows(t.db(), table), qint64(0));
    }

    // While the check finds errors no file is written, and the job number is given back;
    // Check alone never writes nor counts on.
    void errorsKeepTheFileBack()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(import(t.db(), test::samFixture(QStringLiteral("golden_small.json"))).outcome.isOk());
        QTemporaryDir out;
        SamWriteOptions o = asTheHandWrittenFile();
        o.jobNumber = 0;
        o.checkOnly = true;
        SamWriteResult r = writeSamFile(t.db(), out.path(), Vessel, Voyage, o); // no signer's PAN kept yet
        QVERIFY(r.outcome.isOk());
        QVERIFY(r.check.errors() > 0);
        QVERIFY(r.path.isEmpty());
        o.checkOnly = false;
        r = writeSamFile(t.db(), out.path(), Vessel, Voyage, o);
        QCOMPARE(r.outcome.kind, Outcome::Kind::Refused);
        bool named = false;
        for (const Finding &f : r.check.findings)
            named = named || f.path == QLatin1String("/master/authPrsn/authReprsntvCd");
        QVERIFY(named);
        QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(1));

        QUARL_VERIFY_OK(test::keepGoldenFiler(t.db()));
        o.checkOnly = true;
        r = writeSamFile(t.db(), out.path(), Vessel, Voyage, o);
        QCOMPARE(r.check.findings.size(), 0);
        QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(1));
        o.checkOnly = false;
        r = writeSamFile(t.db(), out.path(), Vessel, Voyage, o);
        QVERIFY(r.outcome.isOk());
        QCOMPARE(r.jobNumber, qint64(1));
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(2));

        // A disk that fills up halfway: no file, no job number taken, and the check that
        // reads the file as it is written does not wait for the rest.
        QTemporaryDir full;
        {
            test::FileSizeLimit limit(2048);
            QVERIFY2(limit.isSet(), "the file size limit could not be set");
            r = writeSamFile(t.db(), full.path(), Vessel, Voyage, o);
        }
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY(QDir(full.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(2));
    }
    // A declaration in the folder is never written over: a job number given whose file is
    // there is refused and spends nothing; the counter passes over the numbers whose files
    // of the day are there (after 9999999 comes 1 again) and says so.
    void filedDeclarationsStay()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(import(t.db(), test::samFixture(QStringLiteral("golden_small.json"))).outcome.isOk());
        QUARL_VERIFY_OK(test::keepGoldenFiler(t.db()));
        QTemporaryDir out;
        const QByteArray other = "{\"declaration\": \"of another voyage\"}\n";
        QVERIFY(test::writeFile(out.filePath(fileOfJob(2)), other));

        Run r = quarlctl(writeSamArgs({QStringLiteral("--db"), t.sqlitePath()}, out.path()) << QStringLiteral("--job") << QStringLiteral("2"));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(fileOfJob(2) + QStringLiteral(" is there already")), qPrintable(r.err));
        QCOMPARE(test::readFile(out.filePath(fileOfJob(2))), other);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{fileOfJob(2)});
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(1));

        // the counter's last number, then 1 again: 1 and 2 lie there, so 3
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update compinfo set nextjobno = 9999999")));
        r = quarlctl(writeSamArgs({QStringLiteral("--db"), t.sqlitePath()}, out.path()));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out.trimmed(), out.filePath(fileOfJob(9999999)));
        QVERIFY(test::writeFile(out.filePath(fileOfJob(1)), other));
        r = quarlctl(writeSamArgs({QStringLiteral("--db"), t.sqlitePath()}, out.path()));
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out.trimmed(), out.filePath(fileOfJob(3)));
        QVERIFY2(r.err.contains(QStringLiteral("Job numbers 1 to 2 name a file of this day in the folder already (%1, ...)")
                                    .arg(fileOfJob(1)))
                     && r.err.contains(QLatin1String("takes job number 3")),
                 qPrintable(r.err));
        QCOMPARE(test::readFile(out.filePath(fileOfJob(1))), other);
        QCOMPARE(test::readFile(out.filePath(fileOfJob(2))), other);
        QVERIFY(parsed(out.filePath(fileOfJob(3)))["master"]["decRef"]["jobNo"] == Json(3));
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(4));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }

    // Another program puts a file of the same name in the folder while the file is written:
    // that file stays, the number is given back and passed over, and the file takes the next.
    void nameTakenWhileWriting()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QUARL_VERIFY_OK(test::keepGoldenFiler(t.db()));
        QString why;
        QVERIFY2(keepBareVoyage(t.db(), 1200, &why), qPrintable(why)); // long enough for the writer to tell its progress
        QTemporaryDir out;
        SamWriteOptions o = asTheHandWrittenFile();
        o.jobNumber = 0;
        o.written = QDateTime::currentDateTime();
        o.evenWithErrors = true; // the voyage lacks its filing data
        const QByteArray other = "written by another program\n";
        int told = 0;
        o.progress = [&](qint64, qint64) {
            if (told++ == 0)
                test::writeFile(out.filePath(fileOfJob(1)), other);
        };
        const SamWriteResult w = writeSamFile(t.db(), out.path(), Vessel, Voyage, o);
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
        QCOMPARE(w.jobNumber, qint64(2));
        QCOMPARE(w.outcome.notices.size(), 1);
        QCOMPARE(test::readFile(out.filePath(fileOfJob(1))), other);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{fileOfJob(1), fileOfJob(2)}));
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(3));

        // a job number given: refused, nothing spent, the other file as it was
        o.jobNumber = 5;
        told = 0;
        o.progress = [&](qint64, qint64) {
            if (told++ == 0)
                test::writeFile(out.filePath(fileOfJob(5)), other);
        };
        const SamWriteResult given = writeSamFile(t.db(), out.path(), Vessel, Voyage, o);
        QCOMPARE(given.outcome.kind, Outcome::Kind::Refused);
        QVERIFY(given.path.isEmpty());
        QCOMPARE(test::readFile(out.filePath(fileOfJob(5))), other);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(3));
    }

    // Eight workstations write the voyage's SAM file at the same moment: every one gets a
    // job number of its own, a file of its own and a row of the register, on both engines.
    void eightAtOnce_data() { test::addEngineRows(); }
    void eightAtOnce()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(import(t.db(), test::samFixture(QStringLiteral("golden_small.json"))).outcome.isOk());
        QUARL_VERIFY_OK(test::keepGoldenFiler(t.db()));
        QTemporaryDir home;
        QStringList source{QStringLiteral("--db"), t.sqlitePath()};
        if (t.engine() == Engine::PostgreSQL) {
            DataSourceRegistry registry(QDir(home.path()).filePath(QStringLiteral("DataSources.ini")));
            QUARL_VERIFY_OK(registry.registerPostgres(QStringLiteral("OFFICE"), t.pgParams()));
            source = QStringList{QStringLiteral("--dsn"), QStringLiteral("OFFICE")};
        }
        QTemporaryDir out;
        const QStringList args = QStringList{QStringLiteral("--home"), home.path()} + writeSamArgs(source, out.path());
        constexpr int Desks = 8;
        std::vector<std::unique_ptr<QProcess>> desks;
        for (int i = 0; i < Desks; ++i) {
            desks.push_back(std::make_unique<QProcess>());
            desks.back()->start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), args);
        }
        QSet<QString> paths;
        for (auto &p : desks) {
            QVERIFY(p->waitForFinished(180000));
            const QString err = QString::fromUtf8(p->readAllStandardError());
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0, qPrintable(err));
            paths.insert(QString::fromUtf8(p->readAllStandardOutput()).trimmed());
        }
        QStringList expected;
        for (int job = 1; job <= Desks; ++job)
            expected << fileOfJob(job);
        QStringList written = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
        std::sort(written.begin(), written.end(), [](const QString &a, const QString &b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        QCOMPARE(written, expected);
        QCOMPARE(paths.size(), Desks);
        for (int job = 1; job <= Desks; ++job) {
            QVERIFY(paths.contains(out.filePath(fileOfJob(job))));
            QVERIFY(parsed(out.filePath(fileOfJob(job)))["master"]["decRef"]["jobNo"] == Json(job));
        }
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(Desks + 1));
        // and a row of the register for each file, with its own job number and the file's hash
        Result<QList<Filings::Filing>> register_ = Filings::list(t.db(), Vessel, Voyage);
        QUARL_VERIFY_OK(register_);
        QCOMPARE(register_->size(), Desks);
        QSet<qint64> jobs;
        for (const Filings::Filing &f : register_.value()) {
            jobs.insert(f.jobNumber);
            QCOMPARE(f.path, out.filePath(fileOfJob(f.jobNumber)));
            QFile file(f.path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(f.sha256, QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()));
        }
        QCOMPARE(jobs.size(), Desks);
    }

    // A clerk saves a line of the voyage while its file is written: the writer's snapshot is
    // out of date when it stores the line numbers and PostgreSQL refuses it; tried again, it
    // writes the file with the clerk's change, and the change stays.
    void conflictTriedAgain()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("postgres"));
        QUARL_VERIFY_OK(test::keepGoldenFiler(t.db()));
        QString why;
        QVERIFY2(keepBareVoyage(t.db(), 1200, &why), qPrintable(why));
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set lineno = 5000 where blno = 'BL1200'")));
        Result<Database> clerk = t.reopen();
        QUARL_VERIFY_OK(clerk);
        QTemporaryDir out;
        SamWriteOptions o = asTheHandWrittenFile();
        o.jobNumber = 0;
        o.evenWithErrors = true;
        int told = 0;
        o.progress = [&](qint64, qint64) {
            if (told++ == 0)
                std::ignore = clerk->exec(QStringLiteral("update cargo set pkgs = 7 where blno = 'BL1200'"));
        };
        const SamWriteResult w = writeSamFile(t.db(), out.path(), Vessel, Voyage, o);
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
        QVERIFY(told > 1); // written twice
        QCOMPARE(w.jobNumber, qint64(1));
        QCOMPARE(t.db().scalar(QStringLiteral("select lineno || '/' || pkgs from cargo where blno = 'BL1200'")).value().toString(),
                 QStringLiteral("1200/7"));
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(2));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QUARL_TEST(TestSamFile)
#include "tst_samfile.moc"
