#include "app/shellfixture.h"
#include "common/testmain.h"

#include "app/logon.h"
#include "browser/ui/frmuser.h"
#include "browser/ui/frmvslcode.h"
#include "core/installation.h"
#include "store/datasourceregistry.h"
#include "store/passwordhash.h"
#include "store/schema.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>

#include <memory>

using namespace quarl;

namespace {

// A second company beside the demo one, with its own data file.
bool addSecondCompany(test::ShellFixture &fx, QString *file)
{
    *file = fx.home.path() + QStringLiteral("/SECOND.qdb");
    auto db = Database::openSqlite(*file, true);
    if (!db || !Schema::createCompanyDatabase(db.value()))
        return false;
    return DataSourceRegistry().registerFile(QStringLiteral("SECOND.qdb"), *file).isOk()
           && fx.system()
                  .exec(QStringLiteral("insert into DRCOMP (code, name, dirname) values (2, 'Second Agency', ?)"),
                        {DataSourceRegistry::connectionText(QStringLiteral("SECOND.qdb"))})
                  .isOk();
}

int vessels(const Database &db, const QString &code)
{
    return db.scalar(QStringLiteral("select count(*) from D_VESSEL_CD where VESSEL_CD = ?"), {code}).value().toInt();
}

QString storedPassword(const Database &db, const QString &uid)
{
    return db.scalar(QStringLiteral("select pwd from loguser where uid = ?"), {uid}).value().toString();
}

QStringList openScreens(frmMenu *menu)
{
    QStringList out;
    for (QMdiSubWindow *sub : menu->mdiArea()->subWindowList()) {
        if (sub->isVisible() && sub->widget())
            out << sub->widget()->objectName();
    }
    return out;
}

void logOnAgain(test::ShellFixture &fx, const QString &uid, const QString &pwd, const QString &company = {})
{
    frmLogon *logon = fx.openLogon();
    QVERIFY(logon);
    if (!company.isEmpty())
        fx.child<QComboBox>(logon, "cboDSNList")->setCurrentText(company);
    test::ShellFixture::logOn(logon, uid, pwd);
}

} // namespace

class TestSessionEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A clerk who logs on after the administrator finds none of the administrator's
    // screens, and a User Master kept alive from before writes nothing.
    void nextUserGetsNoRightsOfTheLast()
    {
        QUARL_SHELL(fx);
        fx.startLogon();
        test::ShellFixture::logOn(fx.openLogon(), QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        frmMenu *menu = frmMenu::instance();
        QVERIFY(menu);
        const Database first = Session::current().connection;
        QVERIFY(first.exec(QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values (?, ?, ?, ?)"),
                           {"CLERK1", "clerk", " 02", " 11"}).isOk());
        QPointer<QWidget> userMaster = menu->openScreen(QStringLiteral("frmUser"));
        QVERIFY(userMaster);
        auto kept = std::make_unique<frmUser>(); // as if something held on to one
        QVERIFY(kept->load());

        menu->logout();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!userMaster); // closed before the logon screen shows
        QVERIFY(openScreens(menu).isEmpty());
        QCOMPARE(Session::current().userId, QString());
        logOnAgain(fx, QStringLiteral("CLERK1"), QStringLiteral("clerk"));
        QCOMPARE(Session::current().userId, QStringLiteral("CLERK1"));

        // the old screen on QUARL's row: Ctrl+E, a new password, Save
        QVERIFY(kept->sessionEnded());
        kept->adoPrimaryRS().moveTo(kept->adoPrimaryRS().findPrefix(kept->adoPrimaryRS().columnIndex("uid"), "QUARL"));
        fx.prompter.clear();
        kept->editRecord();
        kept->txtFields(2)->setText(QStringLiteral("HACKED"));
        kept->updateRecord();
        QCOMPARE(fx.prompter.messages().size(), 1); // refused, and said so
        QVERIFY(PasswordHash::matches(QStringLiteral("TOVEK"), storedPassword(first, QStringLiteral("QUARL"))));
        QVERIFY(!kept->adoPrimaryRS().isOpen()); // the last user's rows and connection let go
        kept->close();
        QVERIFY(!kept->isVisible());
    }

    // A half-typed vessel code: Logout asks; Cancel keeps session and screen; No drops it.
    // After a logon to another company nothing reaches either company's file.
    void halfTypedRecordAndAnotherCompany()
    {
        QUARL_SHELL(fx);
        QString secondFile;
        QVERIFY(addSecondCompany(fx, &secondFile));
        fx.startLogon();
        test::ShellFixture::logOn(fx.openLogon(), QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        frmMenu *menu = frmMenu::instance();
        const Database first = Session::current().connection;
        auto *screen = qobject_cast<RecordBrowser *>(menu->openScreen(QStringLiteral("frmVslCode")));
        QVERIFY(screen);
        screen->addRecord();
        screen->txtFields(6)->setText(QStringLiteral("HALF"));
        auto kept = std::make_unique<frmVslCode>();
        QVERIFY(kept->load());
        kept->addRecord();
        for (int i : kept->fieldIndexes())
            kept->txtFields(i)->setText(QStringLiteral("7"));
        kept->txtFields(6)->setText(QStringLiteral("KEPT"));

        fx.prompter.answerCancel();
        menu->logout();
        QCOMPARE(fx.prompter.texts(), QStringList{"Save the changes to this record ?"});
        QVERIFY(!fx.openLogon()); // the logout did not happen
        QCOMPARE(openScreens(menu), QStringList{"frmVslCode"});
        QCOMPARE(screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(Session::current().userId, QStringLiteral("QUARL"));

        fx.prompter.answerNo();
        menu->logout();
        QVERIFY(openScreens(menu).isEmpty());
        logOnAgain(fx, QStringLiteral("QUARL"), QStringLiteral("TOVEK"), QStringLiteral("Second Agency"));
        QCOMPARE(menu->statusPanel(5)->text(), QStringLiteral("Second Agency"));

        kept->updateRecord();
        auto second = Database::openSqlite(secondFile);
        QVERIFY(second);
        for (const Database &db : {first, second.value()}) {
            QCOMPARE(vessels(db, QStringLiteral("HALF")), 0);
            QCOMPARE(vessels(db, QStringLiteral("KEPT")), 0);
        }
        // closing it asks nothing: there is nothing it could still save
        fx.prompter.clear();
        QVERIFY(kept->close());
        QVERIFY(fx.prompter.events().isEmpty());
    }

    // Exit and the window's close box ask about a record being added.
    void exitAsksAboutARecordBeingAdded()
    {
        QUARL_SHELL(fx);
        fx.startLogon();
        test::ShellFixture::logOn(fx.openLogon(), QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        frmMenu *menu = frmMenu::instance();
        auto *screen = qobject_cast<RecordBrowser *>(menu->openScreen(QStringLiteral("frmVslCode")));
        screen->addRecord();
        for (int i : screen->fieldIndexes())
            screen->txtFields(i)->setText(QStringLiteral("9"));
        screen->txtFields(6)->setText(QStringLiteral("EXIT1"));
        const Database db = Session::current().connection;

        fx.prompter.answerCancel();
        menu->menuAction(QStringLiteral("menFile"), 8)->trigger();
        QCOMPARE(fx.prompter.texts(), QStringList{"Save the changes to this record ?"});
        QCOMPARE(fx.ends, 0);
        QCOMPARE(screen->mode(), RecordBrowser::Mode::Add);

        fx.prompter.answerYes();
        menu->menuAction(QStringLiteral("menFile"), 8)->trigger();
        QCOMPARE(fx.ends, 1);
        QCOMPARE(vessels(db, QStringLiteral("EXIT1")), 1);
    }

    // A password from an older release logs on once and is then kept as its hash only;
    // quarlctl sets one from standard input, for a super-user or the user itself.
    void olderPlainPasswordBecomesItsHash()
    {
        QUARL_SHELL(fx);
        const QString file = Installation::filePath(QLatin1String(Installer::DemoDataSource));
        {
            auto db = Database::openSqlite(file);
            QVERIFY(db);
            QVERIFY(PasswordHash::isHash(storedPassword(db.value(), QStringLiteral("QUARL")))); // new files: hashed
            QVERIFY(db->exec(QStringLiteral("update loguser set pwd = 'TOVEK' where uid = 'QUARL'")).isOk());
        }
        Logon logon(fx.sysPath());
        QVERIFY(logon.openConnection(DataSourceRegistry::connectionText(QLatin1String(Installer::DemoDataSource))));
        QVERIFY(!logon.checkUser(QStringLiteral("QUARL"), QStringLiteral("TOVEX")).value().has_value());
        QCOMPARE(storedPassword(logon.connection(), QStringLiteral("QUARL")), QStringLiteral("TOVEK"));
        QVERIFY(logon.checkUser(QStringLiteral("QUARL"), QStringLiteral("TOVEK")).value().has_value());
        const QString hash = storedPassword(logon.connection(), QStringLiteral("QUARL"));
        QVERIFY2(PasswordHash::isHash(hash) && hash.size() <= 50, qPrintable(hash));
        QVERIFY(!hash.contains(QLatin1String("TOVEK")));
        QVERIFY(logon.checkUser(QStringLiteral("QUARL"), QStringLiteral("TOVEK")).value().has_value());
        QVERIFY(!logon.checkUser(QStringLiteral("QUARL"), hash).value().has_value()); // the hash is no password
        QCOMPARE(storedPassword(logon.connection(), QStringLiteral("QUARL")), hash);

        const QString quarlctl = QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl");
        const auto passwd = [&](const QStringList &args, const QByteArray &input) {
            QProcess p;
            p.start(quarlctl, QStringList{QStringLiteral("user"), QStringLiteral("passwd")} + args);
            p.write(input);
            p.closeWriteChannel();
            p.waitForFinished(60000);
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        // the one who sets it shows who they are: a super-user, or the user with the old one
        const auto as = [&](const char *target, const char *acting) {
            return QStringList{QLatin1String(target), QStringLiteral("--db"), file, QStringLiteral("--as"), QLatin1String(acting)};
        };
        QVERIFY(logon.connection().exec(QStringLiteral("insert into loguser values ('CLERK', ?, ' 02', ' 11')"),
                                        {PasswordHash::make(QStringLiteral("clerk"))}));
        QCOMPARE(passwd({QStringLiteral("QUARL"), QStringLiteral("--db"), file}, "TOVEK\nnew secret\n"), 1); // who?
        QCOMPARE(passwd(as("QUARL", "QUARL"), "tovek\nnew secret\n"), 1);
        QCOMPARE(passwd(as("QUARL", "CLERK"), "clerk\nnew secret\n"), 1);
        QVERIFY(logon.checkUser(QStringLiteral("QUARL"), QStringLiteral("TOVEK")).value().has_value());
        QCOMPARE(passwd(as("QUARL", "QUARL"), "TOVEK\nnew secret\n"), 0);
        QVERIFY(logon.checkUser(QStringLiteral("QUARL"), QStringLiteral("new secret")).value().has_value());
        QCOMPARE(passwd(as("CLERK", "QUARL"), "new secret\nset by QUARL\n"), 0);
        QCOMPARE(passwd(as("CLERK", "CLERK"), "set by QUARL\nmy own\n"), 0);
        QVERIFY(logon.checkUser(QStringLiteral("CLERK"), QStringLiteral("my own")).value().has_value());
        QCOMPARE(passwd(as("NOBODY", "QUARL"), "new secret\nx\n"), 1);
        QCOMPARE(passwd(as("QUARL", "QUARL"), "new secret\n"), 1); // no new password
        QVERIFY(logon.checkUser(QStringLiteral("QUARL"), QStringLiteral("new secret")).value().has_value());
    }
};

QUARL_TEST(TestSessionEnd)
#include "tst_sessionend.moc"
