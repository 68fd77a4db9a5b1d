#include "browsertest.h"
#include "common/filesizelimit.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "browser/ui/frmcompany.h"
#include "core/installation.h"
#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "store/datasourceregistry.h"
#include "store/pgpasswords.h"
#include "store/installer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using namespace quarl;
using test::button;
using test::field;

namespace {

// The demo installation in a temporary folder, with the company register screen over it.
struct Fixture
{
    test::TempHome home;
    Installer::HomeReport report;
    Database system;
    std::unique_ptr<test::SessionScope> session;
    std::unique_ptr<frmCompany> screen;

    bool install()
    {
        auto r = Installer::initHome(true);
        if (!r)
            return false;
        report = r.value();
        auto sys = Database::openSqlite(report.systemDatabase);
        if (!sys)
            return false;
        system = sys.value();
        // a second data file to copy from, as an agent keeps an empty template
        return QFile::copy(report.demoDataFile, home.file(QStringLiteral("TEMPLATE.qdb")));
    }
    bool open()
    {
        session = std::make_unique<test::SessionScope>(Database());
        screen = std::make_unique<frmCompany>();
        return test::showActive(screen.get());
    }
    QLineEdit *f(int index) const { return field(screen.get(), index); }
    QPushButton *create() const { return button(screen.get(), "Create"); }
    QStringList folderFiles() const { return QDir(home.path()).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace

class TestCompanyScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codeOnAdd_data()
    {
        QTest::addColumn<QList<int>>("codes"); // in stored order
        QTest::addColumn<QString>("code");
        QTest::newRow("first company") << QList<int>{} << "1";
        QTest::newRow("after 7") << QList<int>{7} << "8";
        QTest::newRow("the last row, not the largest") << QList<int>{9, 7} << "8";
    }
    void codeOnAdd()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QString, code);
        Fixture x;
        QVERIFY(x.install());
        QVERIFY(x.system.exec(QStringLiteral("delete from DRCOMP")).isOk());
        for (int c : codes)
            QVERIFY(x.system.exec(QStringLiteral("insert into DRCOMP (code, name) values (?, ?)"), {c, "C"}).isOk());
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        QTest::keyClick(x.screen.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.f(0)->text(), code);
        QVERIFY(!x.f(0)->isVisible());
        QCOMPARE(x.screen->focusWidget(), x.f(1));
        QTest::keyClicks(x.f(1), QStringLiteral("Konkan Agencies"));
        QTest::keyClick(x.f(1), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(x.system.scalar(QStringLiteral("select code from DRCOMP where name = 'Konkan Agencies'")).value().toString(), code);
        QCOMPARE(x.screen->focusWidget(), button(x.screen.get(), "cmdAdd"));
        QCOMPARE(x.f(1)->text(), QStringLiteral("Konkan Agencies")); // the last row now
    }

    void codeOverflowIsAMessage()
    {
        Fixture x;
        QVERIFY(x.install());
        QVERIFY(x.system.exec(QStringLiteral("insert into DRCOMP (code, name) values (32767, 'Last')")).isOk());
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        QCOMPARE(prompter.messages(), QStringList{"Overflow"});
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.f(0)->text(), QString());
        x.screen->cancelRecord();
        QCOMPARE(x.f(1)->text(), QLatin1String(Installer::DemoCompanyName)); // where Add began
        QCOMPARE(x.system.scalar(QStringLiteral("select count(*) from DRCOMP")).value().toInt(), 2);
    }

    void browseWithoutRecordStatusOrSearch()
    {
        Fixture x;
        QVERIFY(x.install());
        QVERIFY(x.system.exec(QStringLiteral("insert into DRCOMP (code, name) values (2, 'Second')")).isOk());
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        // the register opens on its first row
        QCOMPARE(x.f(1)->text(), QLatin1String(Installer::DemoCompanyName));
        QCOMPARE(x.f(8)->text(), QStringLiteral("DSN=DEMO.qdb"));
        QCOMPARE(test::statusLine(x.screen.get()), QString());
        QVERIFY(!button(x.screen.get(), "cmdSearch")->isVisible());
        x.screen->moveNext();
        QCOMPARE(x.f(1)->text(), QStringLiteral("Second"));
        QCOMPARE(x.f(2)->text(), QString());
        QCOMPARE(test::statusLine(x.screen.get()), QString());
        x.screen->movePrevious();
        x.screen->editRecord();
        QCOMPARE(test::statusLine(x.screen.get()), QStringLiteral("Edit record"));
        QVERIFY(x.create()->isVisible());
        QVERIFY(x.create()->isEnabled());
        QCOMPARE(button(x.screen.get(), "cmdUpdate")->text(), QStringLiteral("&Save"));
        QCOMPARE(x.create()->text(), QStringLiteral("Crea&te"));
        // no field has a typing limit on this screen; the column's width holds on both engines
        x.f(1)->setText(QString(50, QLatin1Char('N')));
        x.screen->updateRecord();
        QVERIFY2(prompter.messages().isEmpty(), qPrintable(prompter.messages().join(QLatin1Char('|'))));
        QCOMPARE(x.system.scalar(QStringLiteral("select length(name) from DRCOMP where code = 1")).value().toInt(), 50);
    }

    void createEnabledByDataSourceName()
    {
        Fixture x;
        QVERIFY(x.install());
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        QVERIFY(!x.create()->isVisible());
        x.screen->addRecord();
        QVERIFY(x.create()->isVisible());
        QVERIFY(!x.create()->isEnabled());
        QTest::keyClick(x.f(8), Qt::Key_N);
        QVERIFY(x.create()->isEnabled());
        QTest::keyClick(x.f(8), Qt::Key_Backspace);
        QVERIFY(!x.create()->isEnabled());
        x.screen->cancelRecord();
        QVERIFY(!x.create()->isVisible());
    }

    void registerPostgresCompany()
    {
        Fixture x;
        QVERIFY(x.install());
        QUARL_TEMP_DB(pg, QStringLiteral("postgres")); // an empty database on the office server
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        QTest::keyClicks(x.f(1), QStringLiteral("Office Shipping"));
        QTest::keyClicks(x.f(8), QStringLiteral("OFFICE"));
        QPushButton *pgButton = button(x.screen.get(), "CreatePg");
        QVERIFY(pgButton->isVisible() && pgButton->isEnabled());
        prompter.answerYes(); // create the company tables in the empty database
        const PgParams server = pg.pgParams();
        QString shown;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            shown = dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->text();
            auto set = [&](const char *name, const QString &text) {
                QLineEdit *e = dialog->findChild<QLineEdit *>(QLatin1String(name));
                e->selectAll();
                QTest::keyClicks(e, text);
            };
            set("txtHost", server.host);
            dialog->findChild<QSpinBox *>(QStringLiteral("txtPort"))->setValue(server.port);
            set("txtDatabase", server.database);
            set("txtUser", server.user);
            set("txtPassword", QStringLiteral("Dlg:secret"));
            // keyboard first: Tab from the password to the box, Space ticks it, Tab to the CA file
            QCheckBox *encrypted = dialog->findChild<QCheckBox *>(QStringLiteral("chkEncrypted"));
            QLineEdit *caFile = dialog->findChild<QLineEdit *>(QStringLiteral("txtCaFile"));
            [&] { // a failed check here still lets the dialog close below
                QVERIFY(!caFile->isEnabled());
                QLineEdit *password = dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
                password->setFocus();
                QTest::keyClick(password, Qt::Key_Tab);
                QCOMPARE(dialog->focusWidget(), encrypted);
                QTest::keyClick(encrypted, Qt::Key_Space);
                QVERIFY(encrypted->isChecked() && caFile->isEnabled());
                QTest::keyClick(encrypted, Qt::Key_Tab);
                QCOMPARE(dialog->focusWidget(), caFile);
            }();
            encrypted->setChecked(true);
            caFile->setText(qEnvironmentVariable("QUARL_TEST_PG_CA"));
            const QString folder = qEnvironmentVariable("QUARL_SCREENSHOTS");
            if (!folder.isEmpty()) {
                dialog->grab().save(folder + QStringLiteral("/PgSourceDialog.png"));
                x.screen->grab().save(folder + QStringLiteral("/frmCompany-add.png"));
            }
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOk")), Qt::LeftButton);
        });
        QTest::mouseClick(pgButton, Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("office")); // offered from the typed name
        QVERIFY2(prompter.scriptUsedUp(), qPrintable(prompter.texts().join(QLatin1Char('\n'))));
        QCOMPARE(prompter.messages(), QStringList{"DSN Created Successfully"});
        QCOMPARE(x.f(8)->text(), QStringLiteral("DSN=OFFICE"));
        x.screen->updateRecord();

        // a second workstation's logon reaches the same company through the registry
        auto company = DataSourceRegistry().open(QStringLiteral("DSN=OFFICE"));
        QVERIFY2(company.isOk(), qPrintable(company.failure().numberAndText()));
        QCOMPARE(company->engine(), Engine::PostgreSQL);
        QCOMPARE(company->scalar(QStringLiteral("select count(*) from loguser")).value().toInt(), 1);
        QVERIFY(company->scalar(QStringLiteral("select count(*) from D_PORT_CD")).value().toInt() > 1000);
        // over TLS, checked against the office's CA; the password typed went to libpq's
        // password file, not to DataSources.ini
        QVERIFY2(!qEnvironmentVariableIsEmpty("QUARL_TEST_PG_CA"), "QUARL_TEST_PG_CA is not set: run scripts/test.sh");
        QVERIFY(company->scalar(QStringLiteral("select ssl from pg_stat_ssl where pid = pg_backend_pid()")).value().toBool());
        const auto registered = DataSourceRegistry().find(QStringLiteral("OFFICE"));
        QVERIFY(registered.has_value());
        QCOMPARE(registered->pg.sslMode, QStringLiteral("verify-full"));
        QFile ini(Installation::filePath(QStringLiteral("DataSources.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("Dlg:secret"));
        QFile passFile(PgPasswords::passFilePath());
        QVERIFY(passFile.open(QIODevice::ReadOnly));
        QVERIFY(passFile.readAll().contains(":Dlg\\:secret\n"));

        // registering the name again is refused, and a database holding a company is not touched
        x.screen->addRecord();
        QTest::keyClicks(x.f(8), QStringLiteral("OFFICE"));
        prompter.clear();
        QTimer::singleShot(0, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->accept();
        });
        QTest::mouseClick(pgButton, Qt::LeftButton);
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY2(prompter.messages().first().contains(QLatin1String("already exists")), qPrintable(prompter.messages().first()));
    }

    void createWithTrailingBlanks()
    {
        Fixture x;
        QVERIFY(x.install());
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        QTest::keyClicks(x.f(1), QStringLiteral("Malabar Shipping"));
        QTest::keyClicks(x.f(8), QStringLiteral("MALABAR.qdb  "));
        prompter.answerFile(x.report.demoDataFile);
        QTest::keyClick(x.create(), Qt::Key_Space); // the button by keyboard
        QCOMPARE(prompter.events().first().kind, ScriptedPrompter::Kind::OpenFile);
        QCOMPARE(prompter.events().first().title, QStringLiteral("Select Data File Name to Copy From"));
        QCOMPARE(prompter.messages(), QStringList{"DSN Created Successfully"});
        QCOMPARE(x.f(8)->text(), QStringLiteral("DSN=MALABAR.qdb"));
        // the file keeps the name as typed; the data source is registered without the blanks
        QVERIFY(QFileInfo::exists(x.home.file(QStringLiteral("MALABAR.qdb  "))));
        QVERIFY(!QFileInfo::exists(x.home.file(QStringLiteral("MALABAR.qdb"))));
        const auto ds = DataSourceRegistry().find(QStringLiteral("MALABAR.qdb"));
        QVERIFY(ds.has_value());
        QCOMPARE(ds->name, QStringLiteral("MALABAR.qdb"));
        x.screen->updateRecord();
        QCOMPARE(prompter.messages().size(), 1);

        // at the next logon the company is listed and opens its own data
        auto q = x.system.query(QStringLiteral("select name, dirname from DRCOMP order by rowid"));
        QVERIFY(q.isOk());
        QStringList names;
        QString dirname;
        while (q->next()) {
            names << q->value(0).toString();
            dirname = q->value(1).toString();
        }
        QCOMPARE(names, (QStringList{QLatin1String(Installer::DemoCompanyName), "Malabar Shipping"}));
        auto company = DataSourceRegistry().open(dirname);
        QVERIFY2(company.isOk(), qPrintable(company.failure().numberAndText()));
        QCOMPARE(company->description(), x.home.file(QStringLiteral("MALABAR.qdb  ")));
        QVERIFY(company->exec(QStringLiteral("delete from D_VESSEL_CD")).isOk());
        auto demo = DataSourceRegistry().open(QStringLiteral("DSN=DEMO.qdb"));
        QVERIFY(demo.isOk());
        QCOMPARE(demo->scalar(QStringLiteral("select count(*) from D_VESSEL_CD")).value().toInt(), 5);
    }

    void createRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("source"); // file name in the installation folder; "-" cancels
        QTest::addColumn<QString>("message");
        QTest::newRow("chooser cancelled") << "NEW.qdb" << "-" << "32755  Cancel was selected.";
        QTest::newRow("a company's data file") << "DEMO.qdb" << "TEMPLATE.qdb" << "cannot be replaced";
        QTest::newRow("onto itself") << "TEMPLATE.qdb" << "TEMPLATE.qdb" << "onto itself";
        QTest::newRow("the settings file") << "Quarl.ini" << "TEMPLATE.qdb" << "belongs to the installation";
        QTest::newRow("the system database") << "QuarlSys.qdb" << "TEMPLATE.qdb" << "belongs to the installation";
        QTest::newRow("a folder in the name") << "../NEW.qdb" << "TEMPLATE.qdb" << "may not hold";
        QTest::newRow("registry characters") << "NEW=1" << "TEMPLATE.qdb" << "may not hold";
        QTest::newRow("blanks only") << "   " << "TEMPLATE.qdb" << "Type the Data Source Name";
        QTest::newRow("a registered name") << "demo.qdb " << "TEMPLATE.qdb" << "already exists";
        QTest::newRow("not a data file") << "NEW.qdb" << "Quarl.ini" << "is not a company data file";
    }
    void createRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, source);
        QFETCH(QString, message);
        Fixture x;
        QVERIFY(x.install());
        const QStringList filesBefore = x.folderFiles();
        const QStringList sourcesBefore = DataSourceRegistry().names();
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        x.f(8)->setText(typed);
        prompter.answerFile(source == QLatin1String("-") ? QString() : x.home.file(source));
        x.screen->createDataSource();
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY2(prompter.messages().first().contains(message), qPrintable(prompter.messages().first()));
        QVERIFY2(prompter.messages().first().contains(QRegularExpression(QStringLiteral("^-?\\d+  "))),
                 qPrintable(prompter.messages().first()));
        QCOMPARE(x.f(8)->text(), typed);
        QCOMPARE(x.folderFiles(), filesBefore);
        QCOMPARE(DataSourceRegistry().names(), sourcesBefore);
        auto demo = DataSourceRegistry().open(QStringLiteral("DSN=DEMO.qdb"));
        QVERIFY(demo.isOk());
        QCOMPARE(demo->scalar(QStringLiteral("select count(*) from cargo")).value().toInt(), 3);
    }

    void registrationFailure()
    {
        Fixture x;
        QVERIFY(x.install());
        const QString registry = x.home.file(QLatin1String(Installation::RegistryFileName));
        QVERIFY(QFile::remove(registry));
        QVERIFY(QDir().mkpath(registry)); // the registry cannot be written
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        x.f(8)->setText(QStringLiteral("OTHER.qdb"));
        prompter.answerFile(x.report.demoDataFile);
        x.screen->createDataSource();
        QCOMPARE(prompter.messages(), QStringList{"DSN Creation Failed ... "});
        QCOMPARE(prompter.events().last().title, QStringLiteral("DSN Creation"));
        QCOMPARE(prompter.events().last().icon, Prompter::Icon::Critical);
        QCOMPARE(x.f(8)->text(), QStringLiteral("OTHER.qdb"));
        QVERIFY(!QFileInfo::exists(x.home.file(QStringLiteral("OTHER.qdb"))));
    }

    void existingFileReplacedOnlyWhenConfirmed()
    {
        Fixture x;
        QVERIFY(x.install());
        const QString old = x.home.file(QStringLiteral("OLD.qdb"));
        {
            QFile f(old);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("left over");
            // beside it the write-ahead log of another database, which would be played
            // into the new file when it is first opened
            auto other = Database::openSqlite(x.home.file(QStringLiteral("other.db")), true);
            QVERIFY(other && other->exec(QStringLiteral("create table junk as select randomblob(50000) x")));
            QVERIFY(QFile::copy(x.home.file(QStringLiteral("other.db-wal")), old + QStringLiteral("-wal")));
        }
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        x.f(8)->setText(QStringLiteral("OLD.qdb"));
        prompter.answerFile(x.report.demoDataFile);
        prompter.answerNo();
        x.screen->createDataSource();
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(QFileInfo(old).size(), qint64(9));
        QVERIFY(!DataSourceRegistry().find(QStringLiteral("OLD.qdb")));
        prompter.answerFile(x.report.demoDataFile);
        prompter.answerYes();
        x.screen->createDataSource();
        QCOMPARE(prompter.messages(), QStringList{"DSN Created Successfully"});
        QCOMPARE(QFileInfo(old).size(), QFileInfo(x.report.demoDataFile).size());
        auto company = DataSourceRegistry().open(QStringLiteral("DSN=OLD.qdb"));
        QVERIFY(company.isOk());
        QCOMPARE(company->scalar(QStringLiteral("pragma integrity_check")).value().toString(), QStringLiteral("ok"));
        QCOMPARE(company->scalar(QStringLiteral("select count(*) from cargo")).value().toInt(), 3);
    }

    // A copy that cannot be made whole (the disk full) or that is damaged never takes the
    // company's name: the message gives the number and text, and the folder, the
    // registry and the typed name are as before.
    void createFailsWithoutLeavingAFile_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("message");
        QTest::newRow("full disk") << true << "27  File too large";
        QTest::newRow("damaged data file") << false << "321  The data file is damaged";
    }
    void createFailsWithoutLeavingAFile()
    {
        QFETCH(bool, fullDisk);
        QFETCH(QString, message);
        Fixture x;
        QVERIFY(x.install());
        const QString source = x.home.file(QStringLiteral("TEMPLATE.qdb"));
        if (!fullDisk) {
            // a page of the port master overwritten, as a bad sector would leave it
            QFile f(source);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(f.size() / 2 / 4096 * 4096 + 8));
            f.write(QByteArray(4000, '\x5a'));
        }
        const QStringList filesBefore = x.folderFiles();
        const QStringList sourcesBefore = DataSourceRegistry().names();
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        x.screen->addRecord();
        QTest::keyClicks(x.f(1), QStringLiteral("Konkan Lines"));
        QTest::keyClicks(x.f(8), QStringLiteral("KONKAN"));
        prompter.answerFile(source);
        {
            std::optional<test::FileSizeLimit> limit;
            if (fullDisk) {
                limit.emplace(65536);
                QVERIFY2(limit->isSet(), "the file size limit could not be set");
            }
            QTest::mouseClick(x.create(), Qt::LeftButton);
        }
        QCOMPARE(prompter.messages().size(), 1);
        const QString shown = prompter.messages().first();
        QVERIFY2(shown.startsWith(message) && shown.contains(QLatin1String("KONKAN.qdb")), qPrintable(shown));
        QCOMPARE(x.f(8)->text(), QStringLiteral("KONKAN"));
        QCOMPARE(x.folderFiles(), filesBefore);
        QCOMPARE(DataSourceRegistry().names(), sourcesBefore);
    }

    void missingSystemDatabase()
    {
        Fixture x;
        QVERIFY(x.install());
        Settings::setSysPath(QString());
        ScriptedPrompter prompter;
        QVERIFY(x.open());
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY2(prompter.messages().first().startsWith(QStringLiteral("53 ")), qPrintable(prompter.messages().first()));
        x.screen->addRecord(); // nothing to add to, and no crash
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
    }
};

QUARL_TEST(TestCompanyScreen)
#include "tst_frmcompany.moc"
