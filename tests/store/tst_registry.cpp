#include "common/filesizelimit.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "core/installation.h"
#include "core/safefile.h"
#include "core/settings.h"
#include "store/datasourceregistry.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>

#include <optional>
#include <sys/stat.h>

using namespace quarl;

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

int mode(const QString &path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool isNumberAndText(const QString &message)
{
    return QRegularExpression(QStringLiteral("^-?\\d+  \\S")).match(message).hasMatch();
}

} // namespace

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

    // A disk too small for the installation: the step that meets it fails with its
    // number and text, and nothing of the installation is left; the same when the
    // registry or the settings file cannot be written at the end.
    void failedInstallationLeavesNothing_data()
    {
        QTest::addColumn<int>("fileSizeLimit"); // 0: none
        QTest::addColumn<QString>("obstacle");  // a folder standing where this file goes
        QTest::addColumn<QString>("named");     // the file the message names
        QTest::newRow("system database") << 4096 << "" << "QuarlSys.qdb";
        QTest::newRow("demo company") << 65536 << "" << "DEMO.qdb";
        QTest::newRow("registry") << 0 << "DataSources.ini" << "DataSources.ini";
        QTest::newRow("settings file") << 0 << "Quarl.ini" << "Quarl.ini";
    }
    void failedInstallationLeavesNothing()
    {
        QFETCH(int, fileSizeLimit);
        QFETCH(QString, obstacle);
        QFETCH(QString, named);
        test::TempHome home;
        const QString folder = home.file(QStringLiteral("office"));
        if (!obstacle.isEmpty())
            QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + obstacle + QStringLiteral("/in the way")));
        Installation::setOverride(folder);
        Result<Installer::HomeReport> report = Failure();
        {
            std::optional<test::FileSizeLimit> limit;
            if (fileSizeLimit > 0) {
                limit.emplace(rlim_t(fileSizeLimit));
                QVERIFY2(limit->isSet(), "the file size limit could not be set");
            }
            report = Installer::initHome(true);
        }
        QVERIFY(!report.isOk());
        const QString message = report.failure().numberAndText();
        QVERIFY2(isNumberAndText(message) && message.contains(named), qPrintable(message));
        if (obstacle.isEmpty())
            QVERIFY2(!QFileInfo::exists(folder), qPrintable(entries(folder).join(QLatin1Char(' '))));
        else
            QCOMPARE(entries(folder), QStringList{obstacle});
    }

    // quarlctl's init-db and init-home on a disk too small for them: status 1, the error's
    // number and text, and no file.
    void commandsOnAFullDisk()
    {
        QTemporaryDir dir;
        const auto run = [&](const QStringList &args, QString *err) {
            QProcess p;
            p.setChildProcessModifier([] { test::FileSizeLimit::apply(65536); });
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), args);
            if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
                return -1;
            *err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
            return p.exitCode();
        };
        QString err;
        QCOMPARE(run({QStringLiteral("init-db"), dir.filePath(QStringLiteral("new.qdb"))}, &err), 1);
        QVERIFY2(isNumberAndText(err) && err.contains(QLatin1String("new.qdb")), qPrintable(err));
        QCOMPARE(run({QStringLiteral("--home"), dir.filePath(QStringLiteral("office")), QStringLiteral("init-home"),
                      QStringLiteral("--demo")},
                     &err),
                 1);
        QVERIFY2(isNumberAndText(err) && err.contains(QLatin1String("DEMO.qdb")), qPrintable(err));
        QCOMPARE(entries(dir.path()), QStringList());
    }

    // The installation is its owner's alone whatever the umask: the folder 0700, every
    // file 0600, also the log SQLite writes beside a data file in use. A folder made
    // beforehand (an office sharing it over a group) keeps its rights.
    void filesAreTheOwnersAlone()
    {
        test::TempHome home;
        const QString folder = home.file(QStringLiteral("office"));
        Installation::setOverride(folder);
        {
            const mode_t savedMask = ::umask(0);
            const auto restore = qScopeGuard([&] { ::umask(savedMask); });
            auto report = Installer::initHome(true);
            QVERIFY2(report.isOk(), qPrintable(report.failure().numberAndText()));
            auto demo = Database::openSqlite(report->demoDataFile);
            QVERIFY(demo.isOk());
            QVERIFY(demo->exec(QStringLiteral("update cargo set marks = 'X'")).isOk());
            QVERIFY(QFileInfo::exists(report->demoDataFile + QStringLiteral("-wal")));
            QCOMPARE(mode(folder), 0700);
            for (const QString &file : entries(folder))
                QVERIFY2(mode(folder + QLatin1Char('/') + file) == 0600, qPrintable(file));
        }
        const QString shared = home.file(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 02770) == 0);
        Installation::setOverride(shared);
        QVERIFY(Installer::initHome(false).isOk());
        QCOMPARE(mode(shared), 02770);
        QCOMPARE(mode(shared + QStringLiteral("/QuarlSys.qdb")), 0600);

        // An office that shares the installation over a group: the folders made, with
        // those above them, and every file are the group's too; below a folder with the
        // set-group-id bit the new folder keeps it, so that its files get the folder's group.
        FileRights::setSharing(FileRights::Sharing::Group);
        const auto back = qScopeGuard([] { FileRights::setSharing(FileRights::Sharing::Owner); });
        const mode_t savedMask = ::umask(0);
        const auto restore = qScopeGuard([&] { ::umask(savedMask); });
        const QString office = shared + QStringLiteral("/office/quarl");
        Installation::setOverride(office);
        QVERIFY(Installer::initHome(false).isOk());
        QCOMPARE(mode(shared + QStringLiteral("/office")), 02770);
        QCOMPARE(mode(office), 02770);
        for (const QString &file : entries(office))
            QVERIFY2(mode(office + QLatin1Char('/') + file) == 0660, qPrintable(file));
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
        QTest::newRow("unknown key") << "dbname=acme user=clerk application_name=x" << "!Unknown connection key";
        QTest::newRow("TLS") << "dbname=acme user=clerk sslmode=Verify-Full sslrootcert='/etc/quarl/office ca.crt'"
                             << "host=localhost port=5432 dbname=acme user=clerk sslmode=verify-full "
                                "sslrootcert='/etc/quarl/office ca.crt'";
        QTest::newRow("no such TLS mode") << "dbname=acme user=clerk sslmode=sometimes" << "!\"sometimes\" is no TLS mode";
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
