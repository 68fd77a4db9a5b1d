#include "common/testdb.h"
#include "common/testmail.h"
#include "common/testmain.h"
#include "igm/igmtestdata.h"

#include "core/settings.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QTest>

#include <sys/resource.h>

using namespace quarl;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run quarlctl(const QString &home, const QStringList &args)
{
    Run r;
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"),
            QStringList{QStringLiteral("--home"), home} + args);
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

// The interchange commands of quarlctl: messages on stderr as the commands word them,
// results on stdout, exit status 0 only when done.
class TestIgmCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        QVERIFY2(usage.ru_maxrss < 100 * 1024, qPrintable(QStringLiteral("%1 kB").arg(usage.ru_maxrss)));
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
        QVERIFY2(r.err.startsWith(QStringLiteral("Import Data For ABCD / 123E ? Yes\nData Imported Sucessfully\n")),
                 qPrintable(r.err));
        QCOMPARE(test::voyageRows(t.db()), 1 + 3 + 3);

        // the same file again: refused by the unique index, nothing more stored
        r = quarlctl(home.path(), {QStringLiteral("import-igm"), golden, QStringLiteral("--db"), t.sqlitePath(),
                                   QStringLiteral("--yes")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.trimmed().endsWith(QStringLiteral("---General Error")), qPrintable(r.err));
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
        QCOMPARE(r.out, cargo + QLatin1Char('\n') + contain + QLatin1Char('\n'));

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
};

QUARL_TEST(TestIgmCommands)
#include "tst_igmcommands.moc"
