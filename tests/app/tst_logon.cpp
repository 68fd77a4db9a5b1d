#include "app/shellfixture.h"
#include "common/testmain.h"
#include "common/testsecrets.h"
#include "store/passwordhash.h"

#include "app/logon.h"
#include "core/inifile.h"
#include "core/installation.h"
#include "core/numericvalue.h"
#include "store/datasourceregistry.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QSpinBox>
#include <QRegularExpression>
#include <QDialog>

using namespace quarl;

namespace {

const QString NoDataSource = QStringLiteral("Data Source Name does not exist: the company \"Acme Shipping\" keeps its "
                                           "data in the data source \"ACME.qdb\", which is not registered on this "
                                           "workstation.");
const QString AccessDenied = QStringLiteral("Access denied Username/Password do not match");
const QString DefaultUserMade = QStringLiteral("New User File Created with Default User ID QUARL Password TOVEK");

QString settingsText()
{
    QFile f(Installation::filePath(QLatin1String(Installation::SettingsFileName)));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// A register row for the company database of the test, under its own data source.
bool addCompany(const test::ShellFixture &fx, const QString &name, const QString &dsn, test::TempDatabase *db)
{
    if (db) {
        const Status reg = db->engine() == Engine::PostgreSQL
                               ? DataSourceRegistry().registerPostgres(dsn, db->pgParams())
                               : DataSourceRegistry().registerFile(dsn, db->sqlitePath());
        if (!reg)
            return false;
    }
    return fx.system()
        .exec(QStringLiteral("insert into DRCOMP (code, name, dirname) values (?, ?, ?)"),
              {9, name, DataSourceRegistry::connectionText(dsn)})
        .isOk();
}

} // namespace

class TestLogonRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rememberedCompanyIndex_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expected");
        QTest::newRow("missing") << "" << 3 << 0;
        QTest::newRow("written form") << " 2" << 3 << 2;
        QTest::newRow("equal to count") << "3" << 3 << 0;
        QTest::newRow("beyond") << "9" << 3 << 0;
        QTest::newRow("none") << "-1" << 3 << -1;
        QTest::newRow("not a number") << "abc" << 3 << 0;
        QTest::newRow("number then text") << "1x" << 3 << 1;
        QTest::newRow("empty list") << " 0" << 0 << -1;
    }
    void rememberedCompanyIndex()
    {
        QFETCH(QString, setting);
        QFETCH(int, count);
        QFETCH(int, expected);
        QCOMPARE(Logon::rememberedCompanyIndex(setting, count), expected);
    }

    void numericValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks and digits") << "  12" << 12.0;
        QTest::newRow("trailing text") << "12abc" << 12.0;
        QTest::newRow("fraction") << "10.5" << 10.5;
        QTest::newRow("negative") << "-1" << -1.0;
        QTest::newRow("text") << "abc" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
    }
    void numericValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(quarl::numericValue(text), value);
    }

    void registerInStoredOrder()
    {
        QUARL_SHELL(fx);
        Database sys = fx.system();
        for (const QVariant &name : {QVariant(QStringLiteral("Zeta Lines")), QVariant(QMetaType(QMetaType::QString)),
                                     QVariant(QStringLiteral("Alpha & O'Hara"))})
            QVERIFY(sys.exec(QStringLiteral("insert into DRCOMP (code, name, dirname) values (2, ?, 'DSN=X')"), {name}).isOk());
        auto rows = Logon(fx.sysPath()).readRegister();
        QVERIFY2(rows.isOk(), qPrintable(rows.failure().numberAndText()));
        QStringList names;
        for (const CompanyEntry &c : *rows)
            names << c.name;
        QCOMPARE(names, (QStringList{QLatin1String(Installer::DemoCompanyName), "Zeta Lines", "", "Alpha & O'Hara"}));
        // the first row with the name, without regard to case
        auto found = Logon(fx.sysPath()).findCompany(QStringLiteral("alpha & o'hara"));
        QVERIFY(found.isOk() && found->has_value());
        QCOMPARE((*found)->name, QStringLiteral("Alpha & O'Hara"));
        auto none = Logon(fx.sysPath()).findCompany(QString());
        QVERIFY(none.isOk() && !none->has_value());
    }

    void emptyOrUnreadableRegisterFails()
    {
        QUARL_SHELL(fx);
        QVERIFY(fx.system().exec(QStringLiteral("delete from DRCOMP")).isOk());
        auto empty = Logon(fx.sysPath()).findCompany(QLatin1String(Installer::DemoCompanyName));
        QVERIFY(!empty.isOk());
        QCOMPARE(empty.failure().code, QStringLiteral("3021"));
        auto unset = Logon(QString()).findCompany(QStringLiteral("X"));
        QVERIFY(!unset.isOk());
        QVERIFY(unset.failure().description.contains(QLatin1String("SYSPATH")));
    }

    // The typed texts are bound: a quote neither breaks the query nor widens it.
    void userQueryTakesTypedTextAsIs_data() { test::addEngineRows(); }
    void userQueryTakesTypedTextAsIs()
    {
        QFETCH(QString, engine);
        QUARL_SHELL(fx);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values (?, ?, ?, ?)"),
                            {"O'Neil", "pa'ss", " 01", QVariant(QMetaType(QMetaType::QString))}).isOk());
        QVERIFY(addCompany(fx, QStringLiteral("Quote Co"), QStringLiteral("QUOTE"), &t));
        Logon logon(fx.sysPath());
        QVERIFY(logon.openConnection(QStringLiteral("DSN=QUOTE")).isOk());

        const QList<QPair<QString, QString>> refused = {
            {"QUARL' --", "x"}, {"x' or '1'='1", "x' or '1'='1"}, {"O'Neil", "pa'ss' or 'a'='a"}, {"O'NEIL", "pa'ss"}};
        for (const auto &[uid, pwd] : refused) {
            auto user = logon.checkUser(uid, pwd);
            QVERIFY2(user.isOk(), qPrintable(user.failure().numberAndText()));
            QVERIFY2(!user->has_value(), qPrintable(uid));
        }
        auto user = logon.checkUser(QStringLiteral("O'Neil"), QStringLiteral("pa'ss"));
        QVERIFY(user.isOk() && user->has_value());
        QCOMPARE((*user)->userId, QStringLiteral("O'Neil"));
        QCOMPARE((*user)->userRights.trimmed(), QStringLiteral("01"));
        QCOMPARE((*user)->menuRights, QString()); // null reads as empty
    }
};

class TestLogonScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void remembered_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("pwd");
        QTest::addColumn<QString>("shownUid");
        QTest::addColumn<QString>("shownPwd");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("keyring");
        QTest::newRow("nothing saved") << QString() << QString() << "" << "" << false << "txtUID" << false;
        // an older release kept the password in Quarl.ini: it leaves the file, for the
        // keyring where there is one
        QTest::newRow("old file's password") << "QUARL" << "TOVEK" << "QUARL" << "" << true << "txtPWD" << false;
        QTest::newRow("old file's password, keyring") << "QUARL" << "TOVEK" << "QUARL" << "TOVEK" << true << "cmdOK" << true;
        QTest::newRow("id only") << "QUARL" << QString() << "QUARL" << "" << true << "txtPWD" << false;
        QTest::newRow("blank written") << " " << " " << "" << "" << false << "txtUID" << false;
    }
    void remembered()
    {
        QFETCH(QString, uid);
        QFETCH(QString, pwd);
        QFETCH(QString, shownUid);
        QFETCH(QString, shownPwd);
        QFETCH(bool, ticked);
        QFETCH(QString, focus);
        QFETCH(bool, keyring);
        QUARL_SHELL(fx);
        std::optional<test::MemorySecretStore> secrets;
        if (keyring)
            secrets.emplace();
        if (!uid.isNull())
            Settings::setSavedUserId(uid);
        if (!pwd.isNull())
            Settings::setSavedPassword(pwd);
        frmLogon *logon = fx.startLogon();
        QCOMPARE(logon->windowTitle(), QStringLiteral("Logon"));
        QCOMPARE(fx.child<QLineEdit>(logon, "txtUID")->text(), shownUid);
        QCOMPARE(fx.child<QLineEdit>(logon, "txtPWD")->text(), shownPwd);
        QCOMPARE(fx.child<QCheckBox>(logon, "Check1")->isChecked(), ticked);
        QVERIFY(logon->focusWidget());
        QCOMPARE(logon->focusWidget()->objectName(), focus);
        QCOMPARE(fx.child<QComboBox>(logon, "cboDSNList")->currentText(), QLatin1String(Installer::DemoCompanyName));
        QVERIFY2(!settingsText().contains(QStringLiteral("TOVEK")), qPrintable(settingsText()));
    }

    void logOnRemembersChoices_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("keyring");
        QTest::newRow("saved") << true << false;
        QTest::newRow("not saved") << false << false;
        QTest::newRow("saved, keyring") << true << true;
        QTest::newRow("not saved, keyring") << false << true;
    }
    void logOnRemembersChoices()
    {
        QFETCH(bool, save);
        QFETCH(bool, keyring);
        QUARL_SHELL(fx);
        std::optional<test::MemorySecretStore> secrets;
        if (keyring)
            secrets.emplace();
        QVERIFY(addCompany(fx, QStringLiteral("Second Co"), QStringLiteral("DEMO.qdb"), nullptr));
        Settings::setCompanyIndexText(QStringLiteral("1"));
        frmLogon *logon = fx.startLogon();
        QCOMPARE(fx.child<QComboBox>(logon, "cboDSNList")->currentIndex(), 1);
        fx.child<QCheckBox>(logon, "Check1")->setChecked(save);
        fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QVERIFY2(fx.prompter.messages().isEmpty(), qPrintable(fx.prompter.messages().join('|')));
        QVERIFY(frmMenu::instance());
        QCOMPARE(fx.ends, 0);

        const Session &s = Session::current();
        QCOMPARE(s.userId, QStringLiteral("QUARL"));
        QVERIFY(s.menuRights.startsWith(QLatin1String(" SU")));
        QCOMPARE(s.companyName, QStringLiteral("Second Co"));
        QCOMPARE(s.dataSource, QStringLiteral("DSN=DEMO.qdb"));
        QCOMPARE(s.systemDatabasePath, fx.sysPath());
        QVERIFY(s.connection.isValid());

        const QString ini = settingsText();
        QVERIFY2(ini.contains(save ? QStringLiteral("UsID=QUARL\n") : QStringLiteral("UsID= \n")), qPrintable(ini));
        // The password never goes into Quarl.ini; the keyring keeps it where there is one.
        QVERIFY2(ini.contains(QStringLiteral("Pwd= \n")) && !ini.contains(QStringLiteral("TOVEK")), qPrintable(ini));
        if (keyring)
            QCOMPARE(secrets->secrets.values(), save ? QStringList{QStringLiteral("TOVEK")} : QStringList());
        QVERIFY2(ini.contains(QStringLiteral("Company= 1\n")), qPrintable(ini));

        // the next start shows what was remembered
        frmLogon *next = new frmLogon;
        next->show();
        QCOMPARE(fx.child<QLineEdit>(next, "txtUID")->text(), save ? QStringLiteral("QUARL") : QString());
        QCOMPARE(fx.child<QLineEdit>(next, "txtPWD")->text(), save && keyring ? QStringLiteral("TOVEK") : QString());
        QCOMPARE(fx.child<QCheckBox>(next, "Check1")->isChecked(), save);
        QCOMPARE(fx.child<QComboBox>(next, "cboDSNList")->currentIndex(), 1);
        delete next;
    }

    void companySelection_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("index");
        QTest::newRow("within") << " 2" << 2;
        QTest::newRow("first") << " 0" << 0;
        QTest::newRow("equal to count") << "3" << 0;
        QTest::newRow("far beyond") << "40" << 0;
        QTest::newRow("none") << "-1" << -1;
    }
    void companySelection()
    {
        QFETCH(QString, setting);
        QFETCH(int, index);
        QUARL_SHELL(fx);
        QVERIFY(addCompany(fx, QStringLiteral("B Co"), QStringLiteral("B"), nullptr));
        QVERIFY(addCompany(fx, QStringLiteral("C Co"), QStringLiteral("C"), nullptr));
        Settings::setCompanyIndexText(setting);
        frmLogon *logon = fx.startLogon();
        auto *combo = fx.child<QComboBox>(logon, "cboDSNList");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentIndex(), index);
        if (index < 0)
            QCOMPARE(combo->currentText(), QString());
    }

    // A company typed rather than picked logs on and is remembered as no selection.
    void typedCompany()
    {
        QUARL_SHELL(fx);
        Settings::setCompanyIndexText(QStringLiteral("-1"));
        frmLogon *logon = fx.startLogon();
        fx.child<QComboBox>(logon, "cboDSNList")->setEditText(QStringLiteral("demo shipping agency"));
        fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QVERIFY(frmMenu::instance());
        QCOMPARE(Settings::companyIndexText(), QStringLiteral("-1"));
        QCOMPARE(Session::current().companyName, QLatin1String(Installer::DemoCompanyName));
    }

    void unknownCompanyStays()
    {
        QUARL_SHELL(fx);
        frmLogon *logon = fx.startLogon();
        fx.child<QComboBox>(logon, "cboDSNList")->setEditText(QStringLiteral("No Such Company"));
        fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QCOMPARE(fx.prompter.messages(), QStringList{QStringLiteral("Cannot Load Company Details")});
        QCOMPARE(fx.ends, 0);
        QVERIFY(!frmMenu::instance());
        QVERIFY(logon->isVisible());
    }

    void wrongPasswordKeepsFocusOnPassword_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("pwd");
        QTest::newRow("wrong password") << "QUARL" << "tovek";
        QTest::newRow("unknown user") << "NOBODY" << "TOVEK";
        QTest::newRow("quote in user id") << "QUARL' --" << "x";
        QTest::newRow("quote in password") << "QUARL" << "x' or 'a'='a";
    }
    void wrongPasswordKeepsFocusOnPassword()
    {
        QFETCH(QString, uid);
        QFETCH(QString, pwd);
        QUARL_SHELL(fx);
        frmLogon *logon = fx.startLogon();
        fx.logOn(logon, uid, pwd);
        QCOMPARE(fx.prompter.messages(), QStringList{AccessDenied});
        QCOMPARE(fx.ends, 0);
        QVERIFY(!frmMenu::instance());
        QCOMPARE(logon->focusWidget()->objectName(), QStringLiteral("txtPWD"));
        QVERIFY(Session::current().userId.isEmpty());
        // corrected, the same screen logs on
        fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QVERIFY(frmMenu::instance());
        QCOMPARE(Session::current().userId, QStringLiteral("QUARL"));
    }

    void missingUserTable_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("pwd");
        QTest::addColumn<bool>("loggedOn");
        for (const char *engine : {"sqlite", "postgres"}) {
            QTest::addRow("%s default user", engine) << engine << "TOVEK" << true;
            QTest::addRow("%s other password", engine) << engine << "secret" << false;
        }
    }
    void missingUserTable()
    {
        QFETCH(QString, engine);
        QFETCH(QString, pwd);
        QFETCH(bool, loggedOn);
        QUARL_SHELL(fx);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("drop table loguser")).isOk());
        QVERIFY(addCompany(fx, QStringLiteral("Fresh Co"), QStringLiteral("FRESH"), &t));
        Settings::setCompanyIndexText(QStringLiteral("1"));
        frmLogon *logon = fx.startLogon();
        fx.logOn(logon, QStringLiteral("QUARL"), pwd);
        QStringList expected{DefaultUserMade};
        if (!loggedOn)
            expected << AccessDenied;
        QCOMPARE(fx.prompter.messages(), expected);
        QCOMPARE(fx.ends, 0);
        QCOMPARE(bool(frmMenu::instance()), loggedOn);
        auto count = t.db().scalar(QStringLiteral("select count(*) from loguser where uid = 'QUARL'"));
        QVERIFY(count.isOk());
        QCOMPARE(count->toInt(), 1);
        QVERIFY(PasswordHash::matches(QStringLiteral("TOVEK"),
                                      t.db().scalar(QStringLiteral("select pwd from loguser")).value().toString()));
        if (!loggedOn) { // the table is there now: a second try makes no second default user
            fx.prompter.clear();
            fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
            QVERIFY(fx.prompter.messages().isEmpty());
            QVERIFY(frmMenu::instance());
            QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser")).value().toInt(), 1);
        }
    }

    void unregisteredDataSource_data()
    {
        // answers to the question ("No" chooses a data file) and then to the file chooser;
        // "@" is the data file
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("loggedOn");
        const QString chooser = QStringLiteral("[Select Data File Name]");
        const QString created = QStringLiteral("DSN Created Successfully");
        const QString failed = QStringLiteral("DSN Creation Failed ... ");
        QTest::newRow("chosen") << QStringList{"@"} << QStringList{NoDataSource, chooser, created} << true;
        QTest::newRow("cancelled, then chosen")
            << QStringList{"", "@"} << QStringList{NoDataSource, chooser, NoDataSource, chooser, created} << true;
        QTest::newRow("cancelled twice")
            << QStringList{"", ""} << QStringList{NoDataSource, chooser, NoDataSource, chooser} << false;
        QTest::newRow("another file, then the right one")
            << QStringList{"other", "@"}
            << QStringList{NoDataSource, chooser, created, NoDataSource, chooser, created} << true;
        QTest::newRow("the system database, then the right one")
            << QStringList{"sys", "@"} << QStringList{NoDataSource, chooser, failed, NoDataSource, chooser, created} << true;
        QTest::newRow("registration refused")
            << QStringList{"bad", "", ""}
            << QStringList{NoDataSource, chooser, failed, NoDataSource, chooser, NoDataSource, chooser} << false;
        QTest::newRow("back to the logon") << QStringList{"cancel"} << QStringList{NoDataSource} << false;
    }
    void unregisteredDataSource()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, expected);
        QFETCH(bool, loggedOn);
        QUARL_SHELL(fx);
        QTemporaryDir elsewhere;
        const QString dataFile = elsewhere.filePath(QStringLiteral("ACME.qdb"));
        const QString otherFile = elsewhere.filePath(QStringLiteral("OTHER.qdb"));
        const QString badFile = elsewhere.filePath(QStringLiteral("bad=name.qdb"));
        for (const QString &f : {dataFile, otherFile, badFile})
            QVERIFY(Installer::createDataFile(f).isOk());
        QVERIFY(addCompany(fx, QStringLiteral("Acme Shipping"), QStringLiteral("ACME.qdb"), nullptr));
        Settings::setCompanyIndexText(QStringLiteral(" 1"));
        for (const QString &a : answers) {
            if (a == QLatin1String("cancel")) {
                fx.prompter.answerCancel();
                continue;
            }
            fx.prompter.answerNo();
            fx.prompter.answerFile(a == "@"       ? dataFile
                                   : a == "other" ? otherFile
                                   : a == "bad"   ? badFile
                                   : a == "sys"   ? Settings::sysPath()
                                                  : a);
        }

        frmLogon *logon = fx.startLogon();
        fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QStringList shown;
        for (const auto &e : fx.prompter.events()) {
            if (e.kind == ScriptedPrompter::Kind::OpenFile)
                shown << QLatin1Char('[') + e.title + QLatin1Char(']');
            else
                shown << (e.text.startsWith(NoDataSource) ? NoDataSource : e.text);
            if (e.text == QLatin1String("DSN Creation Failed ... ")) {
                QCOMPARE(e.title, QStringLiteral("DSN Creation"));
                QCOMPARE(e.icon, Prompter::Icon::Critical);
            }
        }
        QCOMPARE(shown, expected);
        QVERIFY(fx.prompter.scriptUsedUp());
        QCOMPARE(fx.ends, 0);
        QCOMPARE(bool(frmMenu::instance()), loggedOn);
        QCOMPARE(DataSourceRegistry().find(QStringLiteral("ACME.qdb")).has_value(), loggedOn);
        if (loggedOn) {
            QCOMPARE(DataSourceRegistry().find(QStringLiteral("ACME.qdb"))->file, dataFile);
            QCOMPARE(Session::current().companyName, QStringLiteral("Acme Shipping"));
        } else {
            QVERIFY(logon->isVisible());
        }
    }

    // An office company not yet registered on this workstation: Yes registers its
    // PostgreSQL database and the logon goes on.
    void unregisteredOfficeDatabase()
    {
        QUARL_SHELL(fx);
        QUARL_COMPANY_DB(office, QStringLiteral("postgres"));
        QVERIFY(addCompany(fx, QStringLiteral("Acme Shipping"), QStringLiteral("ACME"), nullptr));
        Settings::setCompanyIndexText(QStringLiteral(" 1"));
        fx.prompter.answerYes();
        const PgParams server = office.pgParams();
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->text(), QStringLiteral("acme"));
            for (auto [name, text] : {std::pair{"txtHost", server.host}, {"txtDatabase", server.database},
                                      {"txtUser", server.user}, {"txtPassword", server.password}}) {
                QLineEdit *e = dialog->findChild<QLineEdit *>(QLatin1String(name));
                e->selectAll();
                QTest::keyClicks(e, text);
            }
            dialog->findChild<QSpinBox *>(QStringLiteral("txtPort"))->setValue(server.port);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOk")), Qt::LeftButton);
        });
        fx.logOn(fx.startLogon(), QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QVERIFY2(fx.prompter.events().first().text.startsWith(
                     QStringLiteral("Data Source Name does not exist: the company \"Acme Shipping\" keeps its data in "
                                    "the data source \"ACME\"")),
                 qPrintable(fx.prompter.events().first().text));
        QCOMPARE(fx.prompter.messages(), QStringList{"DSN Created Successfully"});
        QVERIFY(frmMenu::instance());
        QCOMPARE(Session::current().connection.engine(), Engine::PostgreSQL);
        QCOMPARE(DataSourceRegistry().find(QStringLiteral("ACME"))->name, QStringLiteral("ACME"));
    }

    // A logon that fails says why (number, two blanks, text) and stays, with what was typed,
    // at start as after Logout: the program goes on.
    void failureStaysOnLogon_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("data file gone") << "gone" << "53  Could not find file";
        QTest::newRow("empty register") << "empty" << "3021  ";
        QTest::newRow("no system database") << "nosys" << "53  Could not find file";
        QTest::newRow("server down") << "down" << "";
        QTest::newRow("no such database") << "nodb" << "";
    }
    void failureStaysOnLogon()
    {
        QFETCH(QString, situation);
        QFETCH(QString, messageStart);
        QUARL_SHELL(fx);
        if (situation == "gone") {
            QVERIFY(QFile::remove(Installation::filePath(QLatin1String(Installer::DemoDataSource))));
        } else if (situation == "empty") {
            QVERIFY(fx.system().exec(QStringLiteral("delete from DRCOMP")).isOk());
        } else if (situation == "nosys") {
            Settings::setSysPath(fx.home.file(QStringLiteral("missing.qdb")));
        } else {
            PgParams server;
            QString why;
            QVERIFY2(test::postgresParams(&server, &why), qPrintable(why));
            if (situation == "down")
                server.port = 1; // nothing listens there
            server.database = QStringLiteral("quarl_no_such_company");
            QVERIFY(DataSourceRegistry().registerPostgres(QStringLiteral("OFFICE"), server).isOk());
            QVERIFY(fx.system()
                        .exec(QStringLiteral("update DRCOMP set dirname = ?"), {DataSourceRegistry::connectionText("OFFICE")})
                        .isOk());
        }
        frmLogon *logon = fx.startLogon();
        if (situation == "empty" || situation == "nosys")
            QCOMPARE(fx.child<QComboBox>(logon, "cboDSNList")->count(), 0);
        fx.logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QCOMPARE(fx.prompter.messages().size(), 1);
        const QString shown = fx.prompter.messages().first();
        QVERIFY2(shown.startsWith(messageStart) && shown.contains(QRegularExpression(QStringLiteral("^\\S+  \\S"))),
                 qPrintable(shown));
        QCOMPARE(fx.ends, 0);
        QVERIFY(!frmMenu::instance());
        QVERIFY(logon->isVisible());
        QCOMPARE(fx.child<QLineEdit>(logon, "txtUID")->text(), QStringLiteral("QUARL"));
        QCOMPARE(fx.child<QLineEdit>(logon, "txtPWD")->text(), QStringLiteral("TOVEK"));
    }

    void enterMovesOnAndConfirms()
    {
        QUARL_SHELL(fx);
        frmLogon *logon = fx.startLogon();
        auto *uid = fx.child<QLineEdit>(logon, "txtUID");
        auto *pwd = fx.child<QLineEdit>(logon, "txtPWD");
        auto *combo = fx.child<QComboBox>(logon, "cboDSNList");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(logon->focusWidget(), uid);
        QTest::keyClicks(uid, QStringLiteral("QUARL"));
        QTest::keyClick(uid, Qt::Key_Return);
        QCOMPARE(logon->focusWidget(), pwd);
        QCOMPARE(uid->text(), QStringLiteral("QUARL"));
        QTest::keyClicks(pwd, QStringLiteral("TOVEK"));
        QVERIFY(!frmMenu::instance());
        QTest::keyClick(pwd, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(frmMenu::instance());
        QCOMPARE(fx.prompter.beeps(), 0);
        QVERIFY(fx.prompter.messages().isEmpty());
    }

    void cancelEndsProgram_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("button") << 0;
        QTest::newRow("escape") << 1;
        QTest::newRow("window closed") << 2;
    }
    void cancelEndsProgram()
    {
        QFETCH(int, how);
        QUARL_SHELL(fx);
        frmLogon *logon = fx.startLogon();
        if (how == 0)
            QTest::mouseClick(fx.child<QPushButton>(logon, "cmdCancel"), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(fx.child<QLineEdit>(logon, "txtUID"), Qt::Key_Escape);
        else
            logon->close();
        QCOMPARE(fx.ends, 1);
        QVERIFY(!frmMenu::instance());
    }
};

QUARL_TEST(TestLogonRules)
QUARL_TEST(TestLogonScreen)
#include "tst_logon.moc"
