#include "common/testdb.h"
#include "common/testmain.h"

#include "core/settings.h"
#include "store/datasourceregistry.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

using namespace quarl;

class TestRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileRoundTrip()
    {
        test::TempHome home;
        const QString file = home.file(QStringLiteral("ACME.qdb"));
        QVERIFY(Installer::createDataFile(file).isOk());
        DataSourceRegistry reg;
        QVERIFY(reg.registerFile(QStringLiteral("ACME.qdb"), file).isOk());
        const auto ds = reg.find(QStringLiteral("acme.QDB"));
        QVERIFY(ds.has_value());
        QCOMPARE(ds->engine, Engine::SQLite);
        QCOMPARE(ds->file, file);
        auto db = reg.open(QStringLiteral("DSN=ACME.qdb"));
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from loguser")).value().toInt(), 1);
        // registering again replaces, never duplicates
        QVERIFY(reg.registerFile(QStringLiteral("acme.qdb"), file).isOk());
        QCOMPARE(reg.names().size(), 1);
    }

    void postgresRoundTrip()
    {
        test::TempHome home;
        QUARL_TEMP_DB(t, QStringLiteral("postgres"));
        QVERIFY(Schema::createCompanyDatabase(t.db()).isOk());
        DataSourceRegistry reg;
        QVERIFY(reg.registerPostgres(QStringLiteral("Shared Office"), t.pgParams()).isOk());
        QVERIFY(QFile::permissions(home.file(QStringLiteral("DataSources.ini"))) & QFileDevice::ReadOwner);
        QVERIFY(!(QFile::permissions(home.file(QStringLiteral("DataSources.ini"))) & QFileDevice::ReadOther));
        auto db = reg.open(DataSourceRegistry::connectionText(QStringLiteral("Shared Office")));
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QCOMPARE(db->engine(), Engine::PostgreSQL);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from LOGUSER")).value().toInt(), 1);
    }

    void notRegistered_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown name") << "DSN=NOPE";
        QTest::newRow("empty") << "";
        QTest::newRow("DSN= only") << "DSN=";
    }
    void notRegistered()
    {
        QFETCH(QString, text);
        test::TempHome home;
        auto db = DataSourceRegistry().open(text);
        QVERIFY(!db.isOk());
        QVERIFY(db.failure().is(ErrorNumber::DataSourceNotFound));
    }

    void registeredFileMissingIsNotCreated()
    {
        test::TempHome home;
        const QString file = home.file(QStringLiteral("gone.qdb"));
        DataSourceRegistry reg;
        QVERIFY(reg.registerFile(QStringLiteral("gone.qdb"), file).isOk());
        auto db = reg.open(QStringLiteral("DSN=gone.qdb"));
        QVERIFY(!db.isOk());
        QVERIFY(!db.failure().is(ErrorNumber::DataSourceNotFound));
        QVERIFY(!QFile::exists(file));
    }

    void namesThatWouldBreakTheRegistry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("bracket") << "a]b";
        QTest::newRow("equals") << "a=b";
        QTest::newRow("newline") << "a\nb";
        QTest::newRow("blank") << "   ";
    }
    void namesThatWouldBreakTheRegistry()
    {
        QFETCH(QString, name);
        test::TempHome home;
        DataSourceRegistry reg;
        QVERIFY(!reg.registerFile(name, home.file(QStringLiteral("x.qdb"))).isOk());
        QVERIFY(reg.names().isEmpty());
    }

    void connectionTextForms()
    {
        QCOMPARE(DataSourceRegistry::nameFromConnectionText(QStringLiteral("DSN=DEMO.qdb")), QStringLiteral("DEMO.qdb"));
        QCOMPARE(DataSourceRegistry::nameFromConnectionText(QStringLiteral("dsn=Acme ;UID=admin;PWD=;")), QStringLiteral("Acme"));
        QCOMPARE(DataSourceRegistry::nameFromConnectionText(QStringLiteral("Acme")), QStringLiteral("Acme"));
    }
};

class TestInstaller : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void demoHome()
    {
        test::TempHome home;
        auto report = Installer::initHome(true);
        QVERIFY2(report.isOk(), qPrintable(report.failure().numberAndText()));
        QVERIFY(!report->alreadyThere);
        QCOMPARE(Settings::sysPath(), home.file(QStringLiteral("QuarlSys.qdb")));
        QVERIFY(!Settings::iceGateUser().isEmpty());
        QVERIFY(!Settings::customHouseCode().isEmpty());

        auto sys = Database::openSqlite(Settings::sysPath());
        QVERIFY(sys.isOk());
        auto q = sys->query(QStringLiteral("select name, dirname from DRCOMP"));
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toString(), QString::fromLatin1(Installer::DemoCompanyName));
        auto db = DataSourceRegistry().open(q->value(1).toString());
        QVERIFY2(db.isOk(), qPrintable(db.failure().numberAndText()));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from vesinfo")).value().toInt(), 1);
        QVERIFY(db->scalar(QStringLiteral("select count(*) from cargo")).value().toInt() >= 3);
        QVERIFY(db->scalar(QStringLiteral("select count(*) from contain")).value().toInt() >= 1);
        // the sample's codes exist in the code masters, so they pass the entry rules
        const QStringList checks = {
            "select count(*) from cargo where portload not in (select port_cd from d_port_cd)",
            "select count(*) from cargo where portdest not in (select port_cd from d_port_cd)",
            "select count(*) from cargo where pkgtype not in (select pkg_cd from package)",
            "select count(*) from cargo where naturecargo not in (select nat_cd from nature)",
            "select count(*) from cargo where cargomove not in (select cm_cd from cargomove)",
            "select count(*) from cargo where itemtype not in (select itm_cd from itmtype)",
            "select count(*) from cargo where unitwt not in (select uqc from d_uqc)",
            "select count(*) from cargo where unocode <> 'ZZZZZ' and unocode not in (select uno_code from d_unoimco)",
            "select count(*) from contain where isocode not in (select iso_code from d_iso_cd)",
            "select count(*) from contain where constatus not in (select cs_cd from constatus)",
            "select count(*) from contain where length(containno) <> 11 or conwt > 99 or length(sealno) > 15",
            "select count(*) from vesinfo where vslnation not in (select cntry_cd from d_cntry_cd)",
            "select count(*) from vesinfo where vslcode not in (select vessel_cd from d_vessel_cd)",
        };
        for (const QString &sql : checks)
            QVERIFY2(db->scalar(sql).value().toInt() == 0, qPrintable(sql));

        // a second run changes nothing
        const QByteArray ini = [&] { QFile f(home.file(QStringLiteral("Quarl.ini"))); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        auto again = Installer::initHome(true);
        QVERIFY(again.isOk());
        QVERIFY(again->alreadyThere);
        QFile f(home.file(QStringLiteral("Quarl.ini")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ini);
    }

    // The program's first start makes the demo company to try, but leaves the gateway codes
    // for the office's own: the flat file of a real company never goes out as the demo's.
    void firstStartLeavesGatewayCodesEmpty()
    {
        test::TempHome home;
        auto report = Installer::firstStart();
        QVERIFY2(report.isOk(), qPrintable(report.failure().numberAndText()));
        QVERIFY(QFileInfo::exists(report->demoDataFile));
        QCOMPARE(Settings::iceGateUser(), QString());
        QCOMPARE(Settings::customHouseCode(), QString());
    }

    void dataFileIsNeverOverwrittenNorLeftHalfMade()
    {
        test::TempHome home;
        const QString file = home.file(QStringLiteral("x.qdb"));
        QVERIFY(Installer::createDataFile(file).isOk());
        QVERIFY(!Installer::createDataFile(file).isOk());
        QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList{QStringLiteral("x.qdb")});
        // a folder that cannot be written: nothing appears under the real name
        const QString locked = home.file(QStringLiteral("locked"));
        QDir().mkpath(locked);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool root = QFileInfo(locked).isWritable();
        const Status s = Installer::createDataFile(locked + QStringLiteral("/y.qdb"));
        if (!root) {
            QVERIFY(!s.isOk());
            QVERIFY(!QFile::exists(locked + QStringLiteral("/y.qdb")));
        }
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void containerCheckDigits_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("digit");
        QTest::newRow("CSQU305438") << "CSQU305438" << 3; // the standard's own example
        QTest::newRow("MSKU907032") << "MSKU907032" << 3;
        QTest::newRow("TCKU300871") << "TCKU300871" << 0;
    }
    void containerCheckDigits()
    {
        QFETCH(QString, number);
        QFETCH(int, digit);
        QCOMPARE(Installer::containerCheckDigit(number), digit);
    }

    void postgresConnectionText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // described back, or "!" + the start of the refusal
        QTest::newRow("all keys") << "host=db.office port=5433 dbname=acme user=clerk"
                                  << "host=db.office port=5433 dbname=acme user=clerk";
        QTest::newRow("defaults") << "dbname=acme user=clerk" << "host=localhost port=5432 dbname=acme user=clerk";
        QTest::newRow("quoted with blank and quote") << "dbname='west coast' user='o\\'brien'"
                                                     << "host=localhost port=5432 dbname='west coast' user='o\\'brien'";
        QTest::newRow("password refused") << "dbname=acme user=clerk password=secret" << "!Do not put the password";
        QTest::newRow("unknown key") << "dbname=acme user=clerk sslmode=require" << "!Unknown connection key";
        QTest::newRow("bad port") << "port=99999 dbname=acme user=clerk" << "!The port";
        QTest::newRow("no user") << "dbname=acme" << "!Give at least";
        QTest::newRow("open quote") << "dbname='acme user=clerk" << "!The quoted value";
    }
    void postgresConnectionText()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        const auto p = DataSourceRegistry::parsePostgres(text);
        if (parsed.startsWith(QLatin1Char('!'))) {
            QVERIFY(!p.isOk());
            QVERIFY2(p.failure().description.startsWith(parsed.mid(1)), qPrintable(p.failure().description));
            return;
        }
        QVERIFY2(p.isOk(), qPrintable(p.failure().description));
        QCOMPARE(DataSourceRegistry::describePostgres(p.value()), parsed);
        QVERIFY(p.value().password.isEmpty());
        // what is described reads back the same
        QCOMPARE(DataSourceRegistry::describePostgres(DataSourceRegistry::parsePostgres(parsed).value()), parsed);
    }
};

QUARL_TEST(TestRegistry)
QUARL_TEST(TestInstaller)
#include "tst_registry.moc"
