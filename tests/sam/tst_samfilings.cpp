#include "common/testdb.h"
#include "common/testmain.h"
#include "common/samtestdata.h"

#include "manifest/outcome.h"
#include "sam/samfile.h"
#include "sam/samfilings.h"
#include "sam/samlayout.h"
#include "store/filer.h"
#include "store/filings.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("GOLD");
const QString Voyage = QStringLiteral("024E");
const QString Sender = QStringLiteral("QUARLAGT");

SamWriteOptions toProduction()
{
    SamWriteOptions o;
    o.iceGateUser = Sender;
    o.customHouseCode = QStringLiteral("INNSA1");
    o.testOrProduction = QStringLiteral("P");
    o.user = QStringLiteral("CLERK1");
    o.workstation = QStringLiteral("DESK-7");
    return o;
}

bool keepGoldenVoyage(const Database &db)
{
    SamImportOptions options;
    options.vessel = Vessel;
    return importSamFile(db, test::samFixture(QStringLiteral("golden_small.json")), options, [](const QString &) { return true; })
               .outcome.isOk()
        && test::keepGoldenFiler(db).isOk();
}

QString sha256Of(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("unreadable");
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

bool writeText(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The gateway's acknowledgement of a job: accepted, with a PCIN for line 1, an MCIN for the
// consolidated line 2 and a PCIN for its first house; errors adds one on line 2.
QByteArray ack(qint64 job, const QDate &day, bool errors = false)
{
    const QString date = day.toString(QStringLiteral("yyyyMMdd"));
    const QString error = errors ? QStringLiteral(R"(, "locCstmErrorCode": [{"pathName": "/master/mastrCnsgmtDec/locCstm", "errorCode": "060", "errorMessage": "Invalid Destination Port Code"}])")
                                 : QString();
    return QStringLiteral(R"({
  "headerField": {"senderID": "%1", "receiverID": "INNSA1", "messageID": "SACHM23", "sequenceOrControlNumber": "%2",
                  "date": "%3", "time": "T11:02", "reportingEvent": "SAM"},
  "master": {
    "decRef": {"msgTyp": "F", "prtofRptng": "INNSA1", "jobNo": "%2", "jobDt": "%3", "rptngEvent": "SAM",
               "mnfstNoRotnNo": "2512345", "mnfstDtRotnDt": "20250311",
               "decRefErrorCode": [{"pathName": "/master/decRef", "errorCode": "000", "errorMessage": "Successful"}]},
    "mastrCnsgnmtDec": [
      {"MCRef": {"lineNo": "1"}, "mcResponse": {"cinTyp": "PCIN", "mcinPcin": "25PC100310170000001"}},
      {"MCRef": {"lineNo": "2"}%4, "mcResponse": {"cinTyp": "MCIN", "mcinPcin": "25MC100310170000002"},
       "hcargoDec": [{"HCRef": {"subLineNo": "1"}, "hcResponse": {"cinTyp": "PCIN", "mcinPcin": "25PC100310170000021"}}]}
    ]
  }
})")
        .arg(Sender)
        .arg(job)
        .arg(date, error)
        .toUtf8();
}

QString replyName(qint64 job, const QDate &day)
{
    return samFileName(Sender, job, day).replace(QStringLiteral("_DEC.json"), QStringLiteral("_ACK.json"));
}

QString mcinOf(const Database &db, const QString &blNo)
{
    auto v = db.scalar(QStringLiteral("select coalesce(cintyp, '') || ' ' || coalesce(mcin, '') from cargo where vslcode = ? and voyno = ? and blno = ?"),
                       {Vessel, Voyage, blNo});
    return v ? v->toString().trimmed() : QStringLiteral("(unreadable)");
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

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

} // namespace

// The register of filings: the row written with the file and its reply stored on it, the
// numbers customs gives on the lines, and no second original of a voyage accepted.
class TestSamFilings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A file written enters the register with the hash of its bytes on the disk and the
    // counts it carries; the acknowledgement, read from another folder, finds its filing,
    // names the B/Ls from the filed file and stores the outcome and the numbers; a fresh
    // SAM after it is refused, unless asked for anyway.
    void writtenThenAccepted_data() { test::addEngineRows(); }
    void writtenThenAccepted()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        QVERIFY(keepGoldenVoyage(db));
        QTemporaryDir filed, replies;
        const SamWriteResult w = writeSamFile(db, filed.path(), Vessel, Voyage, toProduction());
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
        QCOMPARE(w.jobNumber, qint64(1));

        Result<QList<Filings::Filing>> list = Filings::list(db, Vessel, Voyage);
        QUARL_VERIFY_OK(list);
        QCOMPARE(list->size(), 1);
        const Filings::Filing f = list->first();
        QCOMPARE(f.path, w.path);
        QCOMPARE(f.sha256, sha256Of(w.path));
        QCOMPARE(f.sha256.size(), 64);
        QCOMPARE((std::tuple{f.lines, f.houses, f.containers}), (std::tuple{qint64(4), qint64(2), qint64(5)}));
        QCOMPARE((std::tuple{f.sender, f.jobNumber, f.jobDate, f.messageType, f.indicator}),
                 (std::tuple{Sender, qint64(1), QDate::currentDate(), QStringLiteral("F"), QStringLiteral("P")}));
        QCOMPARE((std::tuple{f.user, f.workstation}), (std::tuple{QStringLiteral("CLERK1"), QStringLiteral("DESK-7")}));
        QVERIFY(f.state == Filings::State::Written);
        QVERIFY(qAbs(f.written.secsTo(QDateTime::currentDateTime())) < 600);

        // the reply lies elsewhere, without the declaration beside it
        const QString reply = replies.filePath(replyName(1, f.jobDate));
        QVERIFY(writeText(reply, ack(1, f.jobDate)));
        Result<ReplyOfFiling> read = readReplyOfFiling(&db, reply);
        QUARL_VERIFY_OK(read);
        QVERIFY2(read->notes.isEmpty(), qPrintable(read->notes.join(QLatin1Char('\n'))));
        QVERIFY(read->filing.has_value());
        QCOMPARE(read->filing->id, f.id);
        QCOMPARE(read->declaration, w.path);
        QVERIFY(read->reply.accepted());
        QCOMPARE(read->reply.identifiers.size(), 3);
        QCOMPARE(read->reply.identifiers.at(1).blNo, QStringLiteral("MSCSIN0002"));
        QCOMPARE(read->reply.identifiers.at(2).blNo, QStringLiteral("HBLSIN0001"));
        QVERIFY(read->stored);
        QCOMPARE(read->linesNumbered, qint64(3));
        QCOMPARE(mcinOf(db, QStringLiteral("MSCSHA0001")), QStringLiteral("PCIN 25PC100310170000001"));
        QCOMPARE(mcinOf(db, QStringLiteral("MSCSIN0002")), QStringLiteral("MCIN 25MC100310170000002"));
        QCOMPARE(mcinOf(db, QStringLiteral("HBLSIN0001")), QStringLiteral("PCIN 25PC100310170000021"));
        QCOMPARE(mcinOf(db, QStringLiteral("HBLSIN0002")), QString());
        QCOMPARE(mcinOf(db, QStringLiteral("MSCSIN0003")), QString());
        list = Filings::list(db, Vessel, Voyage);
        QUARL_VERIFY_OK(list);
        const Filings::Filing answered = list->first();
        QVERIFY(answered.state == Filings::State::Accepted);
        QCOMPARE((std::tuple{answered.errors, answered.numbers, answered.replyFile, answered.reference}),
                 (std::tuple{qint64(0), qint64(3), replyName(1, f.jobDate), QStringLiteral("2512345")}));
        QCOMPARE(answered.stateText(), QStringLiteral("accepted"));
        QVERIFY(answered.replyRead.isValid());

        // another original is refused and spends nothing; a test file is not an original
        const QStringList before = QDir(filed.path()).entryList(QDir::Files | QDir::Hidden);
        SamWriteResult again = writeSamFile(db, filed.path(), Vessel, Voyage, toProduction());
        QCOMPARE(again.outcome.kind, Outcome::Kind::Refused);
        QVERIFY2(again.outcome.message.contains(QStringLiteral("job number 1 of %1").arg(f.jobDate.toString(QStringLiteral("dd/MM/yyyy"))))
                     && again.outcome.message.contains(QLatin1String("error 358"))
                     && again.outcome.message.contains(QLatin1String("amendment")),
                 qPrintable(again.outcome.message));
        QCOMPARE(QDir(filed.path()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(Filer::read(db).value().nextJobNumber, qint64(2));
        QCOMPARE(Filings::list(db, Vessel, Voyage).value().size(), 1);
        SamWriteOptions o = toProduction();
        o.freshAnyway = true;
        again = writeSamFile(db, filed.path(), Vessel, Voyage, o);
        QVERIFY2(again.outcome.isOk(), qPrintable(again.outcome.message));
        QCOMPARE(again.jobNumber, qint64(2));
        list = Filings::list(db, Vessel, Voyage);
        QCOMPARE(list->size(), 2);
        QCOMPARE(list->first().jobNumber, qint64(2)); // newest first
        QVERIFY(list->first().state == Filings::State::Written);
    }

    // A reply that finds its filed file changed names no B/L from it but is stored; one
    // with errors leaves the filing rejected, and a fresh SAM may follow; the job number
    // of another sender finds no filing and stores nothing.
    void repliesThatDoNotAccept_data() { test::addEngineRows(); }
    void repliesThatDoNotAccept()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        QVERIFY(keepGoldenVoyage(db));
        QTemporaryDir filed, replies;
        const SamWriteResult w = writeSamFile(db, filed.path(), Vessel, Voyage, toProduction());
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
        QFile changed(w.path);
        QVERIFY(changed.open(QIODevice::Append));
        changed.write("\n");
        changed.close();

        const QDate day = QDate::currentDate();
        const QString reply = replies.filePath(replyName(1, day));
        QVERIFY(writeText(reply, ack(1, day, true)));
        Result<ReplyOfFiling> read = readReplyOfFiling(&db, reply);
        QUARL_VERIFY_OK(read);
        QVERIFY(read->declaration.isEmpty());
        QCOMPARE(read->notes.size(), 1);
        QVERIFY2(read->notes.first().contains(QLatin1String("SHA-256")), qPrintable(read->notes.first()));
        QVERIFY(read->stored);
        const Filings::Filing f = Filings::list(db, Vessel, Voyage).value().first();
        QVERIFY(f.state == Filings::State::Rejected);
        QCOMPARE(f.stateText(), QStringLiteral("rejected with 1 error"));
        QVERIFY(!Filings::acceptedOriginal(db, Vessel, Voyage).value().has_value());
        QVERIFY(writeSamFile(db, filed.path(), Vessel, Voyage, toProduction()).outcome.isOk());

        // the file name and header of someone else's job: read, but nothing stored
        QByteArray other = ack(1, day);
        other.replace("\"QUARLAGT\"", "\"OTHERAGT\"");
        const QString otherReply = replies.filePath(QStringLiteral("F_SACHM23_SAM_OTHERAGT_1_%1_ACK.json").arg(day.toString(QStringLiteral("yyyyMMdd"))));
        QVERIFY(writeText(otherReply, other));
        read = readReplyOfFiling(&db, otherReply);
        QUARL_VERIFY_OK(read);
        QVERIFY(!read->filing && !read->stored);
        QVERIFY(read->notes.first().contains(QLatin1String("OTHERAGT")));
        QCOMPARE(mcinOf(db, QStringLiteral("MSCSHA0001")), QString());
    }

    // A company database without the register writes no file and spends no job number.
    void noRegisterNoFile()
    {
        QUARL_TEMP_DB(t, QStringLiteral("sqlite"));
        Schema::CompanyOptions release240;
        release240.release240 = true;
        QUARL_VERIFY_OK(Schema::createCompanyDatabase(t.db(), release240));
        QVERIFY(keepGoldenVoyage(t.db()));
        QTemporaryDir out;
        const SamWriteResult w = writeSamFile(t.db(), out.path(), Vessel, Voyage, toProduction());
        QCOMPARE(w.outcome.kind, Outcome::Kind::Refused);
        QVERIFY2(w.outcome.message.contains(QLatin1String("(2.5.0)")), qPrintable(w.outcome.message));
        QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(1));
    }

    // quarlctl: write-sam enters the file, read-reply --db stores the reply, filings lists
    // them newest first, and write-sam refuses another original until --fresh-anyway;
    // read-reply without a database reads as before and stores nothing.
    void quarlctlCommands()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(keepGoldenVoyage(t.db()));
        QTemporaryDir home, filed, replies;
        const QStringList db{QStringLiteral("--home"), home.path()};
        const QStringList source{QStringLiteral("--db"), t.sqlitePath()};
        const QStringList write = db + QStringList{QStringLiteral("write-sam")} + source
                                  + QStringList{QStringLiteral("--vessel"), Vessel, QStringLiteral("--voyage"), Voyage,
                                                QStringLiteral("--out"), filed.path(), QStringLiteral("--icegate-user"), Sender,
                                                QStringLiteral("--custom-house"), QStringLiteral("INNSA1")};
        Run r = quarlctl(write);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QDate day = QDate::currentDate();
        const QString reply = replies.filePath(replyName(1, day));
        QVERIFY(writeText(reply, ack(1, day)));

        r = quarlctl(db + QStringList{QStringLiteral("read-reply"), reply});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains(QLatin1String("B/L numbers not named")), qPrintable(r.err));
        QVERIFY(Filings::list(t.db()).value().first().state == Filings::State::Written);

        r = quarlctl(db + QStringList{QStringLiteral("read-reply"), reply} + source);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QLatin1String("Line 2 B/L MSCSIN0002: MCIN 25MC100310170000002")), qPrintable(r.out));
        QVERIFY2(r.err.contains(QLatin1String("Stored on the filing of job number 1")), qPrintable(r.err));

        r = quarlctl(write);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QLatin1String("IGM already submitted")) && r.err.contains(QLatin1String("amendment")), qPrintable(r.err));
        r = quarlctl(write + QStringList{QStringLiteral("--fresh-anyway")});
        QVERIFY2(r.status == 0, qPrintable(r.err));

        r = quarlctl(db + QStringList{QStringLiteral("filings")} + source
                     + QStringList{QStringLiteral("--vessel"), Vessel, QStringLiteral("--voyage"), Voyage});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).contains(QLatin1String("job 2 ")) && lines.at(0).contains(QLatin1String("written")), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).contains(QLatin1String("job 1 ")) && lines.at(1).contains(QLatin1String("accepted (reference 2512345")),
                 qPrintable(lines.at(1)));
        QVERIFY(lines.at(1).contains(QLatin1String("QUARL (quarlctl)"))); // the user it acted as
        r = quarlctl(db + QStringList{QStringLiteral("filings")} + source + QStringList{QStringLiteral("--vessel"), QStringLiteral("NONE")});
        QVERIFY2(r.status == 0 && r.out.trimmed().isEmpty(), qPrintable(r.out));
    }
};

QUARL_TEST(TestSamFilings)
#include "tst_samfilings.moc"
