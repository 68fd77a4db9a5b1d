#include "common/jsonmutations.h"
#include "common/samstrictreading.h"
#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "manifest/finding.h"
#include "sam/samcheck.h"
#include "sam/samfile.h"
#include "sam/samreply.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("GOLD");
const char *const Tables[] = {"cargoitem", "contain", "cargo", "vesinfo", "D_VESSEL_CD"};
// The sanitizer pass takes the first thousand of the same files: it looks for memory faults,
// which the plain pass's three thousand would find no more of at three times the cost.
#ifdef QUARL_SANITIZED
constexpr int Files = 1000;
#else
constexpr int Files = 3000;
#endif
// Far beyond what any of these small files takes, even under the sanitizers.
constexpr std::chrono::seconds Bound(60);
const QString DecName = QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_DEC.json");
const QString AckName = QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json");

bool write(const QString &path, const QByteArray &data)
{
    // a new file each time: one written over is flushed to the disk when it is closed
    QFile::remove(path);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray fixture(const QString &name)
{
    QFile f(test::samFixture(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Status clear(const Database &db)
{
    for (const char *table : Tables) {
        if (Status s = db.exec(QStringLiteral("delete from %1").arg(QLatin1String(table))); !s)
            return s;
    }
    return Status::ok();
}

// The rows one list has and the other lacks.
QString difference(const QStringList &got, const QStringList &expected)
{
    QStringList out;
    for (const QString &r : got) {
        if (!expected.contains(r))
            out << QStringLiteral("  stored:   ") + r;
    }
    for (const QString &r : expected) {
        if (!got.contains(r))
            out << QStringLiteral("  expected: ") + r;
    }
    if (out.isEmpty())
        out << QStringLiteral("  the same rows in another order");
    return out.join(QLatin1Char('\n'));
}

// What one reader made of the damaged files; the first faults described.
struct Tally
{
    explicit Tally(const char *name) : reader(name) {}
    const char *reader;
    int taken = 0;   // stored, or read
    int refused = 0; // or, for the check, found at fault
    int faults = 0;
    QStringList described;

    void fault(int n, const QStringList &made, const QString &what, const QByteArray &file)
    {
        // kept for a closer look where QUARL_MUTATION_KEEP names a folder
        if (const QString keep = qEnvironmentVariable("QUARL_MUTATION_KEEP"); !keep.isEmpty())
            write(QDir(keep).filePath(QStringLiteral("%1-%2.json").arg(QString::fromLatin1(reader).section(QLatin1Char(' '), 0, 0)).arg(n)), file);
        if (++faults <= 10)
            described << QStringLiteral("%1, damaged file %2 (%3): %4").arg(QLatin1String(reader), QString::number(n), made.join(QStringLiteral("; ")), what);
    }
};

// The seed of the damage: fixed, so that every run reads the same files; another may be
// given in QUARL_MUTATION_SEED to look further.
quint32 seed(quint32 fixed)
{
    bool given = false;
    const quint32 s = qEnvironmentVariable("QUARL_MUTATION_SEED").toUInt(&given);
    return given ? s + fixed : fixed;
}

bool traced()
{
    return qEnvironmentVariableIsSet("QUARL_MUTATION_TRACE");
}

// A reply read as the program reads it, held to what a strict reading says it holds.
void judgeReply(Tally &t, int n, const QStringList &made, const Result<GatewayReply> &read, const QByteArray &reply)
{
    const std::optional<test::StrictReply> strict = test::strictReplyReading(reply);
    if (!read) {
        if (read.failure().description.isEmpty())
            t.fault(n, made, QStringLiteral("refused without a word"), reply);
        ++t.refused;
        return;
    }
    const QString kind = read.value().kind == GatewayReply::Kind::StructureFailure ? QStringLiteral("SFL") : QStringLiteral("ACK");
    const qint64 errors = read.value().errors.size() + read.value().unlisted;
    if (!strict || strict->kind != kind || strict->errors != errors)
        t.fault(n, made,
                QStringLiteral("read as %1 with %2 errors, a strict reading gives %3")
                    .arg(kind, QString::number(errors),
                         strict ? QStringLiteral("%1 with %2 errors").arg(strict->kind, QString::number(strict->errors)) : QStringLiteral("no reply")),
                reply);
    ++t.taken;
}

void report(const Tally &t)
{
    for (const QString &d : t.described)
        qWarning("%s", qPrintable(d));
}

} // namespace

// Damaged SAM files and replies by the thousand, read by the import, the check and the
// reading of replies: none ends the program or hangs; the import stores exactly what a strict
// reading of the file gives, or refuses it storing nothing; what is not fit to store the
// check finds at fault; a reply is read for the errors it holds, or refused with a message.
class TestSamMutations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One company database for every case: what it holds is cleared after each import.
    void initTestCase()
    {
        m_company = std::make_unique<test::TempDatabase>(QStringLiteral("sqlite"));
        QVERIFY2(m_company->isOk(), qPrintable(m_company->error()));
        const Database &db = m_company->db();
        QUARL_VERIFY_OK(Schema::createCompanyDatabase(db));
        QUARL_VERIFY_OK(db.exec(QStringLiteral("pragma synchronous = off")));
        QUARL_VERIFY_OK(db.exec(QStringLiteral("pragma journal_mode = memory")));
        QUARL_VERIFY_OK(clear(db));
    }
    void cleanupTestCase() { m_company.reset(); }

    // What the damaged files found, each once: a part of the wrong kind, and text where the
    // schema has none (or the reverse), are refused where they were passed over, their data
    // lost without a word; a value wider than its column is refused where it was stored
    // whole; the check names a line without its ports and movement.
    void faultsFound_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("import");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("checked"); // the check finds it: the message's schema forbids it
        const QString line2 = QStringLiteral("/master/mastrCnsgmtDec/2");
        const QString house = QStringLiteral("/master/mastrCnsgmtDec/1/houseCargoDec/1");
        auto row = [](const char *name, const QString &pointer, const char *json, const QString &import, bool checked) {
            QTest::newRow(name) << QStringLiteral("set %1 %2").arg(pointer, QLatin1String(json)) << import << pointer << checked;
        };
        row("the vessel as a list", QStringLiteral("/master/vesselDtls"), "[1, \"a\"]", QStringLiteral("vesselDtls is not a group of fields"), true);
        row("the submitter as true", QStringLiteral("/master/authPrsn"), "true", QStringLiteral("authPrsn is not a group of fields"), true);
        row("the transhipment as blanks", line2 + QStringLiteral("/trnshpr"), "\"   \"", QStringLiteral("trnshpr is not a group of fields"), true);
        row("a line's containers as a number", line2 + QStringLiteral("/trnsprtEqmt"), "0", QStringLiteral("trnsprtEqmt is not a list"), true);
        row("a house B/L's goods as true", house + QStringLiteral("/itemDtls"), "true", QStringLiteral("itemDtls is not a list"), true);
        row("a route as text", line2 + QStringLiteral("/itnry"), "\"X\"", QStringLiteral("itnry is not a list"), true);
        row("a port of call as text", QStringLiteral("/master/voyageDtls/shipItnry/1"), "\"XXXXXXXXXXX\"",
            QStringLiteral("A port of call is not a group of fields"), true);
        row("a leg of the route as text", line2 + QStringLiteral("/itnry/1"), "\"1\"", QStringLiteral("A leg of the route is not a group of fields"), true);
        row("a port of call's place as true", QStringLiteral("/master/voyageDtls/shipItnry/3/shipItnrySeq"), "true",
            QStringLiteral("shipItnrySeq is not text"), true);
        row("the voyage number as a number", QStringLiteral("/master/voyageDtls/voyageNo"), "24",
            QStringLiteral("Type mismatch: voyageNo holds 24, not text"), true);
        row("a voyage number wider than its column", QStringLiteral("/master/voyageDtls/voyageNo"), "\"024E0000000\"",
            QStringLiteral("Value too long: voyageNo holds 11 characters, the column voyno takes at most 10"), true);
        row("the IMO number as a number", QStringLiteral("/master/vesselDtls/trnsprtMeansId"), "9074729",
            QStringLiteral("Type mismatch: trnsprtMeansId holds 9074729, not text"), true);
        row("an IMO number wider than its column", QStringLiteral("/master/vesselDtls/trnsprtMeansId"), "\"90747290\"",
            QStringLiteral("Value too long: trnsprtMeansId holds 8 characters, the column IMO_NO takes at most 7"), true);
        row("the IGM number as text", QStringLiteral("/master/decRef/mnfstNoRotnNo"), "\"2504567\"",
            QStringLiteral("Type mismatch: mnfstNoRotnNo holds \"2504567\", not a whole number"), true);
        row("a notify party's street as a number", house + QStringLiteral("/trnsprtDoc/notfdPartyStreetAddress"), "1",
            QStringLiteral("Type mismatch: notfdPartyStreetAddress holds 1, not text"), true);
        row("a mode of transport as a number", line2 + QStringLiteral("/itnry/1/modeOfTrnsprt"), "2",
            QStringLiteral("Type mismatch: modeOfTrnsprt holds 2, not text"), true);
        QTest::newRow("a line without its ports and movement") << QStringLiteral("del %1/locCstm").arg(line2)
                                                                << QStringLiteral("The line has no") << line2 + QStringLiteral("/locCstm") << true;
    }
    void faultsFound()
    {
        QFETCH(QString, edit);
        QFETCH(QString, import);
        QFETCH(QString, path);
        QFETCH(bool, checked);
        igm::Json doc = test::samGolden();
        QString why;
        QVERIFY2(test::editJson(doc, edit, &why), qPrintable(why));
        QTemporaryDir dir;
        const QString file = dir.filePath(DecName);
        QVERIFY(write(file, QByteArray::fromStdString(doc.dump(1))));
        const Database &db = m_company->db();
        SamImportOptions options;
        options.vessel = Vessel;
        const SamImportResult r = importSamFile(db, file, options, [](const QString &) { return true; });
        QVERIFY2(!r.outcome.isOk() && r.outcome.message.contains(import) && r.outcome.message.contains(QStringLiteral("(%1").arg(path)),
                 qPrintable(r.outcome.message));
        QCOMPARE(test::samRowsIn(db), qint64(0));
        QStringList findings;
        bool found = false;
        for (const Finding &f : checkSamFile(file).findings) {
            findings << samFindingText(f);
            found = found || (f.isError() && (f.path == path || path.startsWith(f.path + QLatin1Char('/'))));
        }
        QVERIFY2(found == checked, qPrintable(findings.join(QLatin1Char('\n'))));
    }

    // A whole number kept as text is kept as its digits, however the file writes it.
    void wholeNumberAsText()
    {
        igm::Json doc = test::samGolden();
        QString why;
        QVERIFY2(test::editJson(doc, QStringLiteral("set /master/decRef/mnfstNoRotnNo 2504567.0"), &why), qPrintable(why));
        const QByteArray data = QByteArray::fromStdString(doc.dump(1));
        QVERIFY(data.contains("2504567.0"));
        QTemporaryDir dir;
        const QString file = dir.filePath(DecName);
        QVERIFY(write(file, data));
        const Database &db = m_company->db();
        SamImportOptions options;
        options.vessel = Vessel;
        const SamImportResult r = importSamFile(db, file, options, [](const QString &) { return true; });
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        const QStringList stored = test::storedSamVoyage(db);
        QUARL_VERIFY_OK(clear(db));
        QCOMPARE(stored, test::strictSamReading(data, Vessel).value_or(QStringList()));
        QVERIFY(stored.first().startsWith(QStringLiteral("V|GOLD|024E|2504567|")));
    }

    // A reply that gives a key twice is refused: of its two lists of errors either might
    // be the gateway's, and the reading took both.
    void replyWithAKeyTwice()
    {
        QByteArray sfl = fixture(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_SFL.json"));
        const qsizetype at = sfl.indexOf("\"errorMessage\" : [");
        QVERIFY(at > 0);
        sfl.insert(at, "\"errorMessage\" : [ {\"keyword\": \"required\", \"message\": \"first\"} ],\n    ");
        const Result<GatewayReply> r = readGatewayReply(sfl, SamLineIndex());
        QVERIFY(!r.isOk());
        QVERIFY2(r.failure().description.contains(QStringLiteral("gives the key \"errorMessage\" twice in one object")),
                 qPrintable(r.failure().description));
    }

    // 3,000 damaged copies of the golden file, each imported into the company database (the
    // voyage not there), checked, and read as a reply and as the declaration a reply answers.
    void damagedDeclarations()
    {
        const Database &db = m_company->db();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("acks")));
        const QString path = dir.filePath(DecName);
        const QString ack = dir.filePath(QStringLiteral("acks/") + AckName);
        const QByteArray ackData = fixture(AckName);
        QVERIFY(write(ack, ackData));
        const std::optional<test::StrictReply> strictAck = test::strictReplyReading(ackData);
        QVERIFY(strictAck && strictAck->errors == 3);
        auto import = [&] {
            SamImportOptions options;
            options.vessel = Vessel;
            return importSamFile(db, path, options, [](const QString &) { return true; });
        };

        // the strict reading of the good file is what its import stores, and the check finds nothing
        const QByteArray good = test::samGoldenData();
        const std::optional<QStringList> strictGood = test::strictSamReading(good, Vessel);
        QVERIFY(strictGood && strictGood->size() == 21);
        QVERIFY(write(path, good));
        const SamImportResult first = import();
        QVERIFY2(first.outcome.isOk(), qPrintable(first.outcome.message));
        QCOMPARE(test::storedSamVoyage(db), *strictGood);
        QUARL_VERIFY_OK(clear(db));
        QCOMPARE(checkSamFile(path).errors(), qint64(0));

        Tally imports{"import-sam"}, checks{"check-sam"}, asReplies{"read-reply of the file"}, declarations{"read-reply with the file as its declaration"};
        int fitButRefused = 0;
        int columnsOnly = 0;
        test::JsonMutations mutations(good, seed(20260615));
        test::HangGuard guard(Bound);
        for (int n = 0; n < Files; ++n) {
            const QByteArray data = mutations.next();
            const QStringList &made = mutations.made();
            const QString what = QStringLiteral("damaged file %1 (%2)").arg(QString::number(n), made.join(QStringLiteral("; ")));
            if (traced())
                qInfo("%s", qPrintable(what));
            QVERIFY(write(path, data));
            test::StrictRefusal unfit;
            const std::optional<QStringList> strict = test::strictSamReading(data, Vessel, &unfit);

            SamImportResult r;
            QVERIFY2(guard.run(QStringLiteral("import-sam of ") + what, [&] { r = import(); }), qPrintable(what));
            if (!r.outcome.isOk()) {
                if (r.outcome.message.isEmpty() || test::samRowsIn(db) != 0)
                    imports.fault(n, made, QStringLiteral("refused (%1) with %2 rows stored").arg(r.outcome.message, QString::number(test::samRowsIn(db))), data);
                fitButRefused += strict ? 1 : 0;
                ++imports.refused;
            } else {
                const QStringList got = test::storedSamVoyage(db);
                if (!strict)
                    imports.fault(n, made, QStringLiteral("stored what a strict reading refuses (%1)").arg(unfit.why), data);
                else if (got != *strict)
                    imports.fault(n, made, QStringLiteral("stored other rows than a strict reading gives:\n") + difference(got, *strict), data);
                ++imports.taken;
                QUARL_VERIFY_OK(clear(db));
            }

            SamCheckReport checked;
            QVERIFY2(guard.run(QStringLiteral("check-sam of ") + what, [&] { checked = checkSamFile(path); }), qPrintable(what));
            // a file that is unfit (but for a text our columns are too narrow for, which the
            // message allows) has errors, and so has one the import refuses
            if (checked.errors() == 0 && !strict && !unfit.columnsOnly)
                checks.fault(n, made, QStringLiteral("not fit to store (%1), the check finds nothing").arg(unfit.why), data);
            else if (checked.errors() == 0 && strict && !r.outcome.isOk())
                checks.fault(n, made, QStringLiteral("the import refuses it (%1), the check finds nothing").arg(r.outcome.message), data);
            ++(checked.errors() > 0 ? checks.refused : checks.taken);
            columnsOnly += !strict && unfit.columnsOnly ? 1 : 0;

            Result<GatewayReply> reply = Failure(0, QString());
            QVERIFY2(guard.run(QStringLiteral("read-reply of ") + what, [&] { reply = readGatewayReply(path); }), qPrintable(what));
            judgeReply(asReplies, n, made, reply, data);
            QVERIFY2(guard.run(QStringLiteral("read-reply with the declaration ") + what, [&] { reply = readGatewayReply(ack, path); }),
                     qPrintable(what));
            judgeReply(declarations, n, made, reply, ackData);
        }
        qInfo("import-sam: %d of %d damaged files stored, %d refused (%d of them fit to store by a strict reading)", imports.taken, Files,
              imports.refused, fitButRefused);
        qInfo("check-sam: errors in %d, none in %d (%d unfit only for the columns of the store)", checks.refused, checks.taken,
              columnsOnly);
        qInfo("read-reply: %d refused, %d read; with the damaged file as the declaration: %d read, %d refused", asReplies.refused,
              asReplies.taken, declarations.taken, declarations.refused);
        for (const Tally *tally : {&imports, &checks, &asReplies, &declarations})
            report(*tally);
        QCOMPARE((std::tuple{imports.faults, checks.faults, asReplies.faults, declarations.faults}), (std::tuple{0, 0, 0, 0}));
        QVERIFY(imports.taken > Files / 10 && imports.refused > Files / 4);
        QVERIFY(asReplies.refused == Files);
    }

    // 3,000 damaged copies of an acknowledgement and a structure failure, each read with the
    // golden file beside it as its declaration.
    void damagedReplies()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(AckName);
        QVERIFY(write(dir.filePath(DecName), test::samGoldenData()));
        const QByteArray made[] = {fixture(AckName), fixture(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_SFL.json"))};
        test::JsonMutations mutations[] = {test::JsonMutations(made[0], seed(20260616)), test::JsonMutations(made[1], seed(20260617))};
        Tally replies{"read-reply"};
        int sfl = 0;
        test::HangGuard guard(Bound);
        for (int n = 0; n < Files; ++n) {
            test::JsonMutations &from = mutations[n % 2];
            const QByteArray data = from.next();
            const QString what = QStringLiteral("damaged reply %1 (%2)").arg(QString::number(n), from.made().join(QStringLiteral("; ")));
            if (traced())
                qInfo("%s", qPrintable(what));
            QVERIFY(write(path, data));
            Result<GatewayReply> reply = Failure(0, QString());
            QVERIFY2(guard.run(QStringLiteral("read-reply of ") + what, [&] { reply = readGatewayReply(path); }), qPrintable(what));
            judgeReply(replies, n, from.made(), reply, data);
            sfl += reply && reply->kind == GatewayReply::Kind::StructureFailure ? 1 : 0;
        }
        qInfo("read-reply: %d of %d damaged replies read (%d as a structure failure), %d refused", replies.taken, Files, sfl, replies.refused);
        report(replies);
        QCOMPARE(replies.faults, 0);
        QVERIFY(replies.taken > Files / 4 && replies.refused > Files / 4);
    }

private:
    std::unique_ptr<test::TempDatabase> m_company;
};

QUARL_TEST(TestSamMutations)
#include "tst_sammutations.moc"
