#include "common/testdb.h"
#include "common/testmail.h"
#include "common/testmain.h"
#include "common/igmtestdata.h"

#include "core/settings.h"
#include "manifest/containernumber.h"
#include "store/filer.h"
#include "store/installer.h"
#include "store/passwordhash.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUuid>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace quarl;

namespace {

// What a command may take at its peak, in kB. Under AddressSanitizer freed blocks wait in
// quarantine and every byte has a shadow, so only the plain build holds the real bound.
#ifdef QUARL_SANITIZED
constexpr long CommandMemoryKb = 4L * 1024 * 1024; // the largest child of the test process so far
#else
constexpr long CommandMemoryKb = 100 * 1024;
#endif

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run quarlctl(const QString &home, const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
             const QByteArray &input = {})
{
    Run r;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"),
            QStringList{QStringLiteral("--home"), home} + args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        r.err = QStringLiteral("quarlctl did not finish: ") + p.errorString();
        return r;
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QStringList voyage(const QString &db)
{
    return {QStringLiteral("--db"), db, QStringLiteral("--vessel"), QStringLiteral("ABCD"), QStringLiteral("--voyage"),
            QStringLiteral("123E")};
}

} // namespace

// Starts quarlctl with each list of arguments at once and waits for all; their exit statuses.
QList<int> together(const QString &home, const QList<QStringList> &runs)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList &args : runs) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"),
                                QStringList{QStringLiteral("--home"), home} + args);
    }
    QList<int> statuses;
    for (auto &p : processes)
        statuses << (p->waitForFinished(300000) && p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1);
    return statuses;
}

// The interchange commands of quarlctl: messages on stderr as the commands word them,
// results on stdout, exit status 0 only when done.
class TestIgmCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every command that changes company data acts as a Quarl user with the right of the
    // screen that does the same work: without a user, with a wrong password, or for a user
    // without the right it is refused and changes nothing; --as with the password from
    // standard input or a file, or QUARL_USER and QUARL_PASSWORD, let it run.
    void changesNeedAUserWithTheRight()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir home;
        const QString db = t.sqlitePath();
        QVERIFY(t.db().exec(QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values ('CLERK', 'x', ' 01 02', ' 05 06 19')")));
        QVERIFY(setUserPassword(t.db(), QStringLiteral("CLERK"), QStringLiteral("it's me")));
        QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
        bare.remove(QStringLiteral("QUARL_USER"));
        bare.remove(QStringLiteral("QUARL_PASSWORD"));
        const QString golden = test::fixturePath(QStringLiteral("ABCD123E.igm"));
        const QStringList key = {QStringLiteral("--vessel"), QStringLiteral("ABCD"), QStringLiteral("--voyage"), QStringLiteral("123E")};
        const QStringList dbArg = {QStringLiteral("--db"), db};
        struct Command
        {
            QStringList args;
            bool clerkMay;   // CLERK holds the right
            QString refusal = {}; // what the command itself then says, when it refuses the voyage
        };
        const QList<Command> commands = {
            {QStringList{"import-igm", golden, "--with-vessel", "--yes"} + dbArg, true},
            {QStringList{"demo-voyage", "--lines", "2", "--containers", "2", "--vessel", "DEMO", "--voyage", "1"} + dbArg, true},
            {QStringList{"write-igm", "--out", home.path(), "--icegate-user", "AGENT1", "--custom-house", "INNSA1"} + key + dbArg, true},
            {QStringList{"write-sam", "--out", home.path(), "--test", "--icegate-user", "AGENT1", "--custom-house", "INNSA1"} + key + dbArg, false,
             QStringLiteral("Voyage: PAN of the signer missing")}, // an IGM voyage lacks what the SAM needs
            {QStringList{"remove-voyage", "--yes", "--with-vessel"} + key + dbArg, false},
            {QStringList{"patch", "update-cargo-table"} + dbArg, false},
            {QStringList{"filer", "--submitter-code", "AABCD1234E", "--signer-pan", "abcpn4321k"} + dbArg, false},
        };
        auto rows = [&] { return test::voyageRows(t.db()); };
        for (const Command &c : commands) {
            const QString what = c.args.first();
            const qint64 before = rows();
            Run r = quarlctl(home.path(), c.args, bare);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QLatin1String("Say which Quarl user does this")), qPrintable(what + r.err));
            r = quarlctl(home.path(), c.args + QStringList{"--as", "CLERK"}, bare, "wrong\n");
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QLatin1String("Access denied Username/Password do not match")), qPrintable(what + r.err));
            QCOMPARE(rows(), before);
            QTemporaryFile password;
            QVERIFY(password.open() && password.write("it's me\n") > 0 && password.flush());
            r = quarlctl(home.path(), c.args + QStringList{"--as", "CLERK", "--password-file", password.fileName()}, bare);
            if (!c.clerkMay) {
                QCOMPARE(r.status, 1);
                QVERIFY2(r.err.contains(QLatin1String("CLERK has no right to")) || r.err.contains(QLatin1String("CLERK is not a super-user")),
                         qPrintable(what + r.err));
                QCOMPARE(rows(), before);
                QProcessEnvironment script = bare;
                script.insert(QStringLiteral("QUARL_USER"), QStringLiteral("QUARL"));
                script.insert(QStringLiteral("QUARL_PASSWORD"), QString::fromLatin1(Schema::DefaultPassword));
                r = quarlctl(home.path(), c.args, script);
            }
            if (c.refusal.isEmpty())
                QVERIFY2(r.status == 0, qPrintable(what + r.err));
            else
                QVERIFY2(r.err.contains(c.refusal), qPrintable(what + r.err));
        }
        QCOMPARE(Filer::read(t.db())->signerPan, QStringLiteral("ABCPN4321K"));
        // standard input gives the password of --as
        Run r = quarlctl(home.path(), QStringList{"remove-voyage", "--yes", "--with-vessel", "--vessel", "DEMO", "--voyage", "1", "--as", "QUARL"} + dbArg, bare,
                         QByteArray(Schema::DefaultPassword) + "\n");
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(rows(), 0);
    }

    void initTestCase()
    {
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl");
        QVERIFY2(QFileInfo(path).isExecutable(), qPrintable(path + QLatin1String(" is not built")));
    }

    void writeIgm()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QTemporaryDir bare; // an installation without the gateway settings
        QTemporaryDir out;

        Run r = quarlctl(bare.path(), QStringList{QStringLiteral("write-igm")} + voyage(t.sqlitePath())
                                      + QStringList{QStringLiteral("--out"), out.path()});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QStringLiteral("Cannot Continue IceGate User ID or Custom House Code is not set\n"));
        QCOMPARE(r.out, QString());
        QVERIFY(QDir(out.path()).isEmpty());

        {
            test::TempHome home;
            QVERIFY(Settings::setIceGateUser(QLatin1String(test::GatewayUser)));
            QVERIFY(Settings::setCustomHouseCode(QLatin1String(test::CustomHouse)));
            r = quarlctl(home.path(), QStringList{QStringLiteral("write-igm")} + voyage(t.sqlitePath())
                                          + QStringList{QStringLiteral("--out"), out.path()});
        }
        const QString path = QDir(out.path()).filePath(QStringLiteral("ABCD123E.igm"));
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, path + QLatin1Char('\n'));
        QCOMPARE(test::readFile(path), test::readFixture(QStringLiteral("ABCD123E.igm")));

        // the options stand in for the settings
        r = quarlctl(bare.path(), QStringList{QStringLiteral("write-igm")} + voyage(t.sqlitePath())
                                      + QStringList{QStringLiteral("--out"), out.path(), QStringLiteral("--icegate-user"),
                                                    QStringLiteral("OTHER01"), QStringLiteral("--custom-house"),
                                                    QStringLiteral("INMAA1")});
        QCOMPARE(r.status, 0);
        QVERIFY(test::readFile(path).startsWith("HREC**,ZZ,OTHER01,ZZ,INMAA1,5,UN,D,SACHI01,,,01A\r\nIGMID/ABCD123E.igm\r\n"));

        r = quarlctl(bare.path(), {QStringLiteral("write-igm"), QStringLiteral("--db"), t.sqlitePath(),
                                   QStringLiteral("--vessel"), QStringLiteral("ABCD"), QStringLiteral("--voyage"),
                                   QStringLiteral("999"), QStringLiteral("--icegate-user"), QStringLiteral("A"),
                                   QStringLiteral("--custom-house"), QStringLiteral("B"), QStringLiteral("--out"),
                                   out.path()});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QStringLiteral("No Records Found with Vessel and Voyage Code ..\n"));
    }

    // A made-up voyage files clean in both layouts: lines declare what their containers hold,
    // transhipments go on beyond the port of arrival, the vessel and voyage are complete.
    // Asked for, the usage is the answer on standard output.
    void demoVoyageChecksClean()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir home;
        QTemporaryDir out;
        const QStringList key{QStringLiteral("--db"), t.sqlitePath(), QStringLiteral("--vessel"), QStringLiteral("SYNV"),
                              QStringLiteral("--voyage"), QStringLiteral("7")};
        Run r = quarlctl(home.path(), QStringList{QStringLiteral("demo-voyage"), QStringLiteral("--lines"), QStringLiteral("30"),
                                                  QStringLiteral("--containers"), QStringLiteral("45")} + key);
        QCOMPARE(r.status, 0);
        for (const char *layout : {"older", "ices15"}) {
            r = quarlctl(home.path(), QStringList{QStringLiteral("write-igm"), QStringLiteral("--layout"), QLatin1String(layout),
                                                  QStringLiteral("--out"), out.path(), QStringLiteral("--icegate-user"),
                                                  QStringLiteral("AGENT01"), QStringLiteral("--custom-house"),
                                                  QStringLiteral("INNSA1")} + key);
            QCOMPARE(r.status, 0);
            r = quarlctl(home.path(), {QStringLiteral("check-igm"), QDir(out.path()).filePath(QStringLiteral("SYNV7.igm")),
                                       QStringLiteral("--db"), t.sqlitePath()});
            QVERIFY2(r.status == 0 && r.out.isEmpty(), qPrintable(QLatin1String(layout) + QLatin1Char(' ') + r.out));
        }
        r = quarlctl(home.path(), {QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("usage: quarlctl")));
        QCOMPARE(r.err, QString());
    }

    // A voyage needs its key: no file ".igm", no made-up voyage without a name.
    void emptyVoyageKey()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir home;
        for (const QStringList &key : {QStringList{QString(), QStringLiteral("001")}, QStringList{QStringLiteral("V1"), QStringLiteral(" ")}}) {
            const QStringList args = {QStringLiteral("--db"), t.sqlitePath(), QStringLiteral("--vessel"), key.at(0),
                                      QStringLiteral("--voyage"), key.at(1)};
            Run r = quarlctl(home.path(), QStringList{QStringLiteral("write-igm"), QStringLiteral("--icegate-user"), QStringLiteral("A"),
                                                      QStringLiteral("--custom-house"), QStringLiteral("B"), QStringLiteral("--out"), home.path()} + args);
            QCOMPARE(r.status, 1);
            QCOMPARE(r.err, QStringLiteral("52  Bad file name: give a vessel code and a voyage number.\n"));
            r = quarlctl(home.path(), QStringList{QStringLiteral("demo-voyage")} + args);
            QCOMPARE(r.status, 1);
            QCOMPARE(r.err, QStringLiteral("5  A voyage needs a vessel code and a voyage number.\n"));
        }
        QCOMPARE(test::voyageRows(t.db()), 0);
        QVERIFY(!QFileInfo::exists(QDir(home.path()).filePath(QStringLiteral("001.igm"))));
    }

    // Striped imports at the same time from one installation: each reads its own file
    // (its working copy is its own), and stores its own voyage.
    void concurrentStripedImports()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        t.db().close();
        test::TempHome home;
        QTemporaryDir work;
        const QByteArray golden = test::readFixture(QStringLiteral("ABCD123E.igm"));
        QList<QStringList> runs;
        for (int i = 0; i < 16; ++i) {
            const QString vessel = QStringLiteral("V%1").arg(i, 2, 10, QLatin1Char('0'));
            const QString file = work.filePath(vessel + QStringLiteral(".igm"));
            QVERIFY(test::writeFile(file, QByteArray(golden).replace("\x1d" "ABCD\x1d", "\x1d" + vessel.toLatin1() + "\x1d")));
            const QString db = work.filePath(vessel + QStringLiteral(".qdb"));
            QVERIFY(QFile::copy(t.sqlitePath(), db));
            runs << QStringList{QStringLiteral("import-igm"), file, QStringLiteral("--db"), db, QStringLiteral("--with-vessel"),
                                QStringLiteral("--strip"), QStringLiteral("--yes")};
        }
        QCOMPARE(together(home.path(), runs), QList<int>(16, 0));
        for (int i = 0; i < 16; ++i) {
            const QString vessel = QStringLiteral("V%1").arg(i, 2, 10, QLatin1Char('0'));
            auto db = Database::openSqlite(work.filePath(vessel + QStringLiteral(".qdb")));
            QVERIFY(db.isOk());
            QCOMPARE(test::count(db.value(), QStringLiteral("select count(*) from cargo where vslcode = ?"), {vessel}), 3);
            QCOMPARE(test::count(db.value(), QStringLiteral("select count(*) from cargo where vslcode <> ?"), {vessel}), 0);
            QCOMPARE(test::count(db.value(), QStringLiteral("select count(*) from vesinfo where vslcode = ?"), {vessel}), 1);
        }
        QCOMPARE(QDir(home.path()).entryList(QDir::Files).filter(QStringLiteral(".igm")), QStringList());
    }

    // Files of today's layout written at the same time from one installation each get a
    // control number of their own.
    void concurrentControlNumbers()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addIces15Voyage(t.db()).isOk());
        test::TempHome home;
        QTemporaryDir out;
        QList<QStringList> runs;
        for (int i = 0; i < 8; ++i) {
            QVERIFY(QDir(out.path()).mkpath(QString::number(i)));
            runs << QStringList{QStringLiteral("write-igm"), QStringLiteral("--db"), t.sqlitePath(), QStringLiteral("--vessel"),
                                QStringLiteral("9V3523"), QStringLiteral("--voyage"), QStringLiteral("22021W"),
                                QStringLiteral("--layout"), QStringLiteral("ices15"), QStringLiteral("--icegate-user"),
                                QStringLiteral("A1"), QStringLiteral("--custom-house"), QStringLiteral("INCCU1"),
                                QStringLiteral("--out"), QDir(out.path()).filePath(QString::number(i))};
        }
        QCOMPARE(together(home.path(), runs), QList<int>(8, 0));
        QSet<QByteArray> numbers;
        for (int i = 0; i < 8; ++i) {
            const QByteArray file = test::readFile(QDir(out.path()).filePath(QString::number(i) + QStringLiteral("/9V352322021W.igm")));
            const QByteArray control = file.left(file.indexOf('\r')).split('\x1d').value(9);
            QVERIFY(file.trimmed().endsWith("TREC\x1d" + control));
            numbers.insert(control);
        }
        QCOMPARE(numbers.size(), 8);
        QCOMPARE(Settings::igmTestIndicator(), QStringLiteral("P"));
        QCOMPARE(ReadSetting(QStringLiteral("Options"), QStringLiteral("IgmControlNo")), QStringLiteral("8"));
    }

    // check-igm reads a file as it goes: a large manifest and a large file of nothing, far
    // below 100 MB of memory, with their findings.
    void checkLargeFiles()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir dir;
        const QString manifest = dir.filePath(QStringLiteral("LARGE.igm"));
        const QString zeros = dir.filePath(QStringLiteral("zeros.igm"));
        {
            QFile f(manifest);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const int lines = 100000;
            const int perLine = 5;
            QByteArray b("HREC**,ZZ,AGENT01,ZZ,INNSA1,5,UN,D,SACHI01,,,01A\r\nIGMID/LARGE.igm\r\n<manifest>2.0\r\n<vesinfo>\r\n"
                         "V\x1d\x1d\x1dLARGE VESSEL\x1dLRG\x1d" "1\x1dSL\x1d" "AG\x1dMASTER\x1dIN\x1dINNSA1\x1dSGSIN\x1d\x1d\x1d" "1\x1d"
                         "1\x1d" "CON\x1d");
            b += QByteArray::number(lines) + "\x1d" "CONTAINERS\x1d\x1d\x1d" "0\x1dN\x1dY\x1dY\x1dN\x1dY\x1dY\x1dPORT\x1d\r\n<END-vesinfo>\r\n<cargo>\r\n";
            for (int i = 1; i <= lines; ++i) {
                b += "V\x1dLRG\x1d" "1\x1d\x1d\x1d" + QByteArray::number(i) + "\x1d" "0\x1d" "BL" + QByteArray::number(i)
                     + "\x1d" "01012024\x1dSGSIN\x1dINNSA1\x1d\x1d\x1dIMPORTER\x1d\x1d\x1d\x1dNOTIFY\x1d\x1d\x1d\x1d" "C\x1dGC\x1dLC\x1d\x1d"
                     + QByteArray::number(perLine * 10) + "\x1dPKG\x1d" "1000\x1dKGS\x1d\x1d\x1dMARKS\x1dGOODS\x1dZZZZZ\x1dZZZ\x1d\x1d\x1d\x1d\x1d\r\n";
                if (b.size() > (1 << 20)) {
                    QVERIFY(f.write(b) == b.size());
                    b.clear();
                }
            }
            b += "<END-cargo>\r\n<contain>\r\n";
            for (int i = 1; i <= lines; ++i) {
                for (int k = 0; k < perLine; ++k) {
                    const QString owner = QStringLiteral("LRGU%1").arg((i * perLine + k) % 1000000, 6, 10, QLatin1Char('0'));
                    const QByteArray number = (owner + QString::number(igm::iso6346CheckDigit(owner))).toLatin1();
                    b += "V\x1dLRG\x1d" "1\x1d\x1d\x1d" + QByteArray::number(i) + "\x1d" "0\x1d" + number
                         + "\x1dSEAL\x1d" "AG\x1d" "FCL\x1d" "10\x1d" "5\x1d" "22G1\x1dN\x1d\r\n";
                }
                if (b.size() > (1 << 20)) {
                    QVERIFY(f.write(b) == b.size());
                    b.clear();
                }
            }
            b += "<END-contain>\r\n<END-manifest>\r\nTREC**\r\n";
            QVERIFY(f.write(b) == b.size());
            QVERIFY2(f.pos() > (qint64(32) << 20), qPrintable(QString::number(f.pos())));
        }
        {
            QFile f(zeros);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray block(1 << 20, '\0');
            for (int i = 0; i < 160; ++i)
                QVERIFY(f.write(block) == block.size());
        }
        QTemporaryDir home;
        Run r = quarlctl(home.path(), {QStringLiteral("check-igm"), manifest});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains(QStringLiteral("older layout, 100000 line(s), 500000 container(s); 0 error(s)")), qPrintable(r.err));
        r = quarlctl(home.path(), {QStringLiteral("check-igm"), zeros});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QStringLiteral("longer than 65536 characters")), qPrintable(r.out));
        rusage usage{};
        QCOMPARE(getrusage(RUSAGE_CHILDREN, &usage), 0);
        QVERIFY2(usage.ru_maxrss < CommandMemoryKb, qPrintable(QStringLiteral("%1 kB").arg(usage.ru_maxrss)));
    }

    // A 50 MB value in an exported file is refused, and reading it stays far below 100 MB.
    void hugeXmlValue()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir dir;
        const QString cargo = dir.filePath(QStringLiteral("cargo.xml"));
        {
            // freed before quarlctl starts: a child's peak counts what it shared with this process
            QFile file(cargo);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray xml = test::readFixture(QStringLiteral("cargo_min.xml"));
            const qsizetype at = xml.indexOf("KEEP DRY");
            file.write(xml.left(at));
            const QByteArray block(1 << 20, 'K');
            for (int i = 0; i < 50; ++i)
                file.write(block);
            QVERIFY(file.write(xml.mid(at + 8)) > 0);
        }
        const Run r = quarlctl(dir.path(), {QStringLiteral("import-xml"), cargo, test::fixturePath(QStringLiteral("contain_min.xml")),
                                            QStringLiteral("--db"), t.sqlitePath(), QStringLiteral("--vessel"), QStringLiteral("MIN"),
                                            QStringLiteral("--voyage"), QStringLiteral("2")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("an element or value longer than 1 MB")), qPrintable(r.err));
        rusage usage{};
        QCOMPARE(getrusage(RUSAGE_CHILDREN, &usage), 0);
        QVERIFY2(usage.ru_maxrss < CommandMemoryKb, qPrintable(QStringLiteral("%1 kB").arg(usage.ru_maxrss)));
        QCOMPARE(test::voyageRows(t.db()), 0);
    }

    // --copy-to and --mail deliver what was written; a failed delivery ends with status 1.
    void deliverCopyAndMail()
    {
        test::TestSmtp smtp;
        QString why;
        QVERIFY2(test::testSmtp(&smtp, &why), qPrintable(why));
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        test::TempHome home;
        QVERIFY(Settings::setIceGateUser(QLatin1String(test::GatewayUser)));
        QVERIFY(Settings::setCustomHouseCode(QLatin1String(test::CustomHouse)));
        Settings::setMailHost(smtp.host);
        Settings::setMailPort(QString::number(smtp.port));
        Settings::setMailFrom(QStringLiteral("filing@seapearl.example"));
        WriteSetting(QStringLiteral("Email"), QStringLiteral("CC"), QStringLiteral("desk@seapearl.example"));
        QTemporaryDir out;
        QTemporaryDir media;
        const QString token = QUuid::createUuid().toString(QUuid::Id128).left(12);

        Run r = quarlctl(home.path(), QStringList{QStringLiteral("write-igm")} + voyage(t.sqlitePath())
                                          + QStringList{QStringLiteral("--out"), out.path(), QStringLiteral("--copy-to"),
                                                        media.path(), QStringLiteral("--mail"),
                                                        QStringLiteral("customs@icegate.example"),
                                                        QStringLiteral("--subject"), QStringLiteral("IGM ") + token});
        QCOMPARE(r.status, 0);
        const QByteArray written = test::readFile(QDir(out.path()).filePath(QStringLiteral("ABCD123E.igm")));
        QCOMPARE(test::readFile(QDir(media.path()).filePath(QStringLiteral("ABCD123E.igm"))), written);
        const QList<test::ReceivedMail> got = test::receivedMail(smtp.maildir, token);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.first().headers.value(QStringLiteral("cc")), QStringLiteral("desk@seapearl.example")); // Email/CC
        QCOMPARE(got.first().attachments.size(), 1);
        QCOMPARE(got.first().attachments.first().data, written);

        r = quarlctl(home.path(), QStringList{QStringLiteral("write-igm")} + voyage(t.sqlitePath())
                                      + QStringList{QStringLiteral("--out"), out.path(), QStringLiteral("--copy-to"),
                                                    media.filePath(QStringLiteral("unplugged"))});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("is not there or cannot be written to")), qPrintable(r.err));

        Settings::setMailPort(QStringLiteral("9"));
        r = quarlctl(home.path(), QStringList{QStringLiteral("export-xml")} + voyage(t.sqlitePath())
                                      + QStringList{QStringLiteral("--out"), out.path(), QStringLiteral("--mail"),
                                                    QStringLiteral("agent@example.in")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("\n7  The mail server 127.0.0.1:9 did not take the message")), qPrintable(r.err));
    }

    // import-igm asks its question on stderr and, without --yes, answers No.
    void importAndRemove()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir home;
        const QString golden = test::fixturePath(QStringLiteral("ABCD123E.igm"));

        Run r = quarlctl(home.path(), {QStringLiteral("import-igm"), golden, QStringLiteral("--db"), t.sqlitePath(),
                                       QStringLiteral("--with-vessel")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("Import Data For ABCD / 123E ? No\n")), qPrintable(r.err));
        QCOMPARE(test::voyageRows(t.db()), 0);

        r = quarlctl(home.path(), {QStringLiteral("import-igm"), golden, QStringLiteral("--db"), t.sqlitePath(),
                                   QStringLiteral("--with-vessel"), QStringLiteral("--yes")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.startsWith(QStringLiteral("Import Data For ABCD / 123E ? Yes\nVessel code ABCD added to the vessel "
                                                 "codes with name MV GOLDEN ARROW.\nData Imported Sucessfully\n")),
                 qPrintable(r.err));
        QCOMPARE(test::voyageRows(t.db()), 1 + 3 + 3);

        // the same file again: the B/L the voyage holds already named, nothing more stored
        r = quarlctl(home.path(), {QStringLiteral("import-igm"), golden, QStringLiteral("--db"), t.sqlitePath(),
                                   QStringLiteral("--yes")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("B/L No. BL-0007 is already line 1 of ABCD / 123E (line 8 of the file).")), qPrintable(r.err));
        QCOMPARE(test::voyageRows(t.db()), 1 + 3 + 3);

        r = quarlctl(home.path(), QStringList{QStringLiteral("remove-voyage")} + voyage(t.sqlitePath()));
        QCOMPARE(r.status, 1);
        QCOMPARE(test::voyageRows(t.db()), 1 + 3 + 3);
        r = quarlctl(home.path(), QStringList{QStringLiteral("remove-voyage")} + voyage(t.sqlitePath())
                                      + QStringList{QStringLiteral("--yes")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.startsWith(QStringLiteral("The Data will paramanently be DELETED ?  Yes\nRecords Deleted.. \n")),
                 qPrintable(r.err));
        QCOMPARE(test::voyageRows(t.db()), 1); // the header stays without --with-vessel
        r = quarlctl(home.path(), QStringList{QStringLiteral("remove-voyage")} + voyage(t.sqlitePath())
                                      + QStringList{QStringLiteral("--yes"), QStringLiteral("--with-vessel")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.endsWith(QStringLiteral("No records found for this Voyage\n")), qPrintable(r.err));
        QCOMPARE(test::voyageRows(t.db()), 1);
    }

    void xmlExportAndImport()
    {
        QUARL_COMPANY_DB(a, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(b, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(a.db()).isOk());
        QTemporaryDir home;
        QTemporaryDir out;
        Run r = quarlctl(home.path(), QStringList{QStringLiteral("export-xml")} + voyage(a.sqlitePath())
                                          + QStringList{QStringLiteral("--out"), out.path()});
        const QString cargo = QDir(out.path()).filePath(QStringLiteral("cargo.xml"));
        const QString contain = QDir(out.path()).filePath(QStringLiteral("contain.xml"));
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QStringLiteral("File ") + cargo + QStringLiteral(" successfully is saved in Program Folder\n"));
        const QString items = QDir(out.path()).filePath(QStringLiteral("cargoitem.xml"));
        QCOMPARE(r.out, cargo + QLatin1Char('\n') + contain + QLatin1Char('\n') + items + QLatin1Char('\n'));

        r = quarlctl(home.path(), {QStringLiteral("import-xml"), cargo, contain, QStringLiteral("--db"), b.sqlitePath(),
                                   QStringLiteral("--vessel"), QStringLiteral("ABCD"), QStringLiteral("--voyage"),
                                   QStringLiteral("2")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QStringLiteral("Cargo file contain Data of ABCD / 123E\n"));
        QCOMPARE(test::voyageRows(b.db()), 0);

        r = quarlctl(home.path(), QStringList{QStringLiteral("import-xml"), cargo, contain} + voyage(b.sqlitePath()));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.startsWith(QStringLiteral("Data Imported Sucessfully\n")), qPrintable(r.err));
        QCOMPARE(test::voyageRows(b.db()), 3 + 3);

        r = quarlctl(home.path(), QStringList{QStringLiteral("import-xml"), cargo, contain} + voyage(b.sqlitePath()));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral(" BL No. BL-")), qPrintable(r.err));
        QCOMPARE(test::voyageRows(b.db()), 3 + 3);
    }
    // Every folder and file the commands make follows one rule, whatever the umask: the
    // owner's alone, or with [Options] FileSharing=group the group's too. A file written
    // anew keeps its own rights only as far as the rule allows.
    void filesFollowOneRule_data()
    {
        QTest::addColumn<QString>("sharing");
        QTest::addColumn<uint>("file");
        QTest::addColumn<uint>("folder");
        QTest::newRow("owner") << QString() << 0600u << 0700u;
        QTest::newRow("group") << QStringLiteral("group") << 0660u << 0770u;
    }
    void filesFollowOneRule()
    {
        QFETCH(QString, sharing);
        QFETCH(uint, file);
        QFETCH(uint, folder);
        QTemporaryDir home;
        if (!sharing.isEmpty())
            QVERIFY(test::writeFile(QDir(home.path()).filePath(QStringLiteral("Quarl.ini")),
                                    "[Options]\nFileSharing=" + sharing.toLatin1() + "\n"));
        const QString db = QDir(home.path()).filePath(QStringLiteral("demo.qdb"));
        QVERIFY(Installer::createDataFile(db).isOk());
        {
            auto d = Database::openSqlite(db);
            QVERIFY(d.isOk());
            QVERIFY(Installer::addDemoData(d.value()).isOk());
        }
        const mode_t savedMask = ::umask(0);
        const auto restore = qScopeGuard([&] { ::umask(savedMask); });
        const QDir at(home.path());
        const QStringList demo{QStringLiteral("--db"), db, QStringLiteral("--vessel"), QStringLiteral("SEAPRL"),
                               QStringLiteral("--voyage"), QStringLiteral("024E")};
        const QStringList gateway{QStringLiteral("--icegate-user"), QStringLiteral("DEMOAGENT"),
                                  QStringLiteral("--custom-house"), QStringLiteral("INNSA1")};
        QVERIFY(test::writeFile(at.filePath(QStringLiteral("r.rtf")), "left by an older release")); // 0666 now
        const QList<QStringList> runs = {
            QStringList{QStringLiteral("write-sam")} + demo + gateway
                + QStringList{QStringLiteral("--out"), at.filePath(QStringLiteral("sam/new")), QStringLiteral("--even-with-errors")},
            // into the folder write-sam made
            QStringList{QStringLiteral("write-igm")} + demo + gateway + QStringList{QStringLiteral("--out"), at.filePath(QStringLiteral("sam/new"))},
            QStringList{QStringLiteral("export-xml")} + demo + QStringList{QStringLiteral("--out"), at.filePath(QStringLiteral("sam/new"))},
            QStringList{QStringLiteral("report"), QStringLiteral("checklist")} + demo
                + QStringList{QStringLiteral("--rtf"), at.filePath(QStringLiteral("r.rtf"))},
            QStringList{QStringLiteral("report"), QStringLiteral("cargodec")} + demo
                + QStringList{QStringLiteral("--pdf"), at.filePath(QStringLiteral("r.pdf"))},
            QStringList{QStringLiteral("init-db"), at.filePath(QStringLiteral("new.qdb"))},
        };
        for (const QStringList &args : runs) {
            const Run r = quarlctl(home.path(), args);
            QVERIFY2(r.status == 0, qPrintable(args.first() + QLatin1String(": ") + r.err));
        }
        auto mode = [](const QString &path) {
            struct stat st{};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? uint(st.st_mode & 07777) : 01000u;
        };
        for (const char *made : {"sam", "sam/new"})
            QVERIFY2(mode(at.filePath(QLatin1String(made))) == folder,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(made)).arg(mode(at.filePath(QLatin1String(made))), 0, 8)));
        QStringList files{at.filePath(QStringLiteral("r.rtf")), at.filePath(QStringLiteral("r.pdf")),
                          at.filePath(QStringLiteral("new.qdb"))};
        const QDir made(at.filePath(QStringLiteral("sam/new")));
        const QStringList names = made.entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(names.filter(QStringLiteral("_DEC.json")).size(), 1);
        QCOMPARE(names.filter(QStringLiteral(".igm")).size(), 1);
        QCOMPARE(names.filter(QStringLiteral(".xml")).size(), 3);
        for (const QString &name : names)
            files << made.filePath(name);
        for (const QString &f : files)
            QVERIFY2(mode(f) == file, qPrintable(QStringLiteral("%1: %2").arg(f).arg(mode(f), 0, 8)));
    }
};

QUARL_TEST(TestIgmCommands)
#include "tst_igmcommands.moc"
