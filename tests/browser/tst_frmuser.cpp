#include "browsertest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "browser/ui/frmuser.h"
#include "core/scriptedprompter.h"
#include "store/passwordhash.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QStyle>
#include <QTest>

#include <memory>

using namespace quarl;
using test::button;
using test::field;

namespace {

struct Fixture
{
    std::unique_ptr<test::SessionScope> session;
    std::unique_ptr<frmUser> screen;

    bool open(const Database &db, const QString &userRights, const QString &menuRights, const QString &userId)
    {
        session = std::make_unique<test::SessionScope>(db, userRights, menuRights, userId);
        screen = std::make_unique<frmUser>();
        return test::showActive(screen.get());
    }
    QLineEdit *f(int index) const { return field(screen.get(), index); }
    bool enabled(const char *name) const { return button(screen.get(), name)->isEnabled(); }
};

bool addUsers(const Database &db)
{
    const QString sql = QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values (?, ?, ?, ?)");
    return db.exec(sql, {"CLERK", "clerk1", " 02", " 11"}).isOk() && db.exec(sql, {"BOSS", "boss1", " 02", " SU"}).isOk();
}

QString stored(const Database &db, const QString &column, const QString &uid)
{
    auto v = db.scalar(QStringLiteral("select %1 from loguser where uid = ?").arg(column), {uid});
    return v.isOk() ? v.value().toString().trimmed() : QStringLiteral("<%1>").arg(v.failure().description);
}

} // namespace

class TestUserScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultUserKeepsEveryone_data() { test::addEngineRows(); }
    void defaultUserKeepsEveryone()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(addUsers(t.db()));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
        QCOMPARE(x.screen->adoPrimaryRS().count(), 3);
        QCOMPARE(x.f(1)->text(), QStringLiteral("QUARL")); // the last in user-id order, padding not shown
        QCOMPARE(x.f(3)->text(), QString()); // the mark is the box beside the codes
        QVERIFY(x.screen->findChild<QCheckBox *>(QStringLiteral("chkUserSU"))->isChecked());
        QCOMPARE(x.f(2)->echoMode(), QLineEdit::Password);
        QCOMPARE(x.f(2)->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, x.f(2)), int('#'));
        QCOMPARE(x.f(1)->maxLength(), 32767);
        for (const char *b : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdSearch"})
            QVERIFY2(x.enabled(b), b);
        QCOMPARE(button(x.screen.get(), "cmdUpdate")->text(), QStringLiteral("&Save"));
        // Ctrl+E edits; every field can be typed into
        QTest::keyClick(x.f(1), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        for (int i : {0, 1, 2, 3})
            QVERIFY(!x.f(i)->isReadOnly());
        // the typing limits come from the columns: 50 and 150 characters
        x.f(3)->clear();
        QTest::keyClicks(x.f(3), QString(60, QLatin1Char('1')));
        QCOMPARE(x.f(3)->text().size(), 50);
        x.f(0)->clear();
        QTest::keyClicks(x.f(0), QString(160, QLatin1Char('1')));
        QCOMPARE(x.f(0)->text().size(), 150);
        QCOMPARE(x.screen->statusText(), QStringLiteral("Module Rights takes at most 150 characters"));
        QCOMPARE(prompter.beeps(), 20); // one for each character refused
        prompter.clear();
        QTest::keyClick(x.f(0), Qt::Key_Escape);
        QCOMPARE(x.screen->focusWidget(), button(x.screen.get(), "cmdAdd")); // Cancel ends on Add
        // search with its own texts
        prompter.answerInput(QStringLiteral("cl"));
        prompter.answerYes();
        x.screen->searchRecords();
        QCOMPARE(prompter.texts(), (QStringList{"Item Name to search ?", "Search Next ?", "Could not find Item"}));
        QCOMPARE(x.f(1)->text(), QStringLiteral("CLERK"));
    }

    void clerkChangesOnlyOwnPassword_data() { test::addEngineRows(); }
    void clerkChangesOnlyOwnPassword()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(addUsers(t.db()));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db(), QStringLiteral(" 02"), QStringLiteral(" 11"), QStringLiteral("CLERK")));
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(x.screen->adoPrimaryRS().count(), 1);
        QCOMPARE(x.f(1)->text(), QStringLiteral("CLERK"));
        QVERIFY(!x.enabled("cmdAdd"));
        QVERIFY(x.enabled("cmdEdit"));
        QVERIFY(!x.enabled("cmdDelete"));
        QVERIFY(!x.enabled("cmdRefresh"));
        QVERIFY(!x.enabled("cmdSearch"));
        button(x.screen.get(), "cmdEdit")->click();
        QVERIFY(x.f(0)->isReadOnly());
        QVERIFY(x.f(1)->isReadOnly());
        QVERIFY(!x.f(2)->isReadOnly());
        QVERIFY(x.f(3)->isReadOnly());
        QTest::keyClicks(x.f(3), QStringLiteral(" 01 03"));
        QCOMPARE(x.f(3)->text(), QStringLiteral("02")); // the codes as they read
        x.f(2)->selectAll();
        QTest::keyClicks(x.f(2), QStringLiteral("new'pw%"));
        QTest::keyClick(x.f(2), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QVERIFY(PasswordHash::matches(QStringLiteral("new'pw%"), stored(t.db(), "pwd", "CLERK"))); // kept hashed
        QVERIFY(PasswordHash::isHash(stored(t.db(), "pwd", "CLERK")));
        QCOMPARE(stored(t.db(), "urights", "CLERK"), QStringLiteral("02"));
        QCOMPARE(stored(t.db(), "pwd", "BOSS"), QStringLiteral("boss1"));
        // the buttons stay as the rights left them after every mode switch
        QVERIFY(!x.enabled("cmdAdd"));
        QVERIFY(!x.enabled("cmdDelete"));
        // nor does Ctrl+A make a user for someone who is no user administrator
        QTest::keyClick(x.f(1), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(prompter.beeps(), 1);
        QCOMPARE(x.f(1)->text(), QStringLiteral("CLERK"));
        QVERIFY(x.screen->close());
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser")).value().toInt(), 3);
    }

    void superUserWithEditOnly()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(addUsers(t.db()));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db(), QStringLiteral(" 02"), QStringLiteral(" SU"), QStringLiteral("BOSS")));
        QCOMPARE(x.screen->adoPrimaryRS().count(), 3);
        QVERIFY(!x.enabled("cmdAdd"));
        QVERIFY(x.enabled("cmdEdit"));
        QVERIFY(!x.enabled("cmdDelete"));
        QVERIFY(!x.enabled("cmdRefresh"));
        QVERIFY(!x.enabled("cmdSearch"));
        x.screen->editRecord();
        QVERIFY(!x.f(1)->isReadOnly());
        QVERIFY(!x.f(0)->isReadOnly());
    }

    void ownRowWithQuoteInId()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(t.db().exec(QStringLiteral("insert into loguser values ('D''SOUZA', 'p', ' 02', ' 11')")).isOk());
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db(), QStringLiteral(" 02"), QStringLiteral(" 11"), QStringLiteral("D'SOUZA")));
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(x.f(1)->text(), QStringLiteral("D'SOUZA"));
    }

    void closingWritesPendingUser_data() { test::addEngineRows(); }
    void closingWritesPendingUser()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        {
            Fixture x;
            QVERIFY(x.open(t.db(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
            x.screen->addRecord();
            QCOMPARE(x.screen->focusWidget(), x.f(1));
            QTest::keyClicks(x.f(1), QStringLiteral("NEWUSER"));
            QTest::keyClick(x.f(1), Qt::Key_Return);
            QTest::keyClicks(x.f(2), QStringLiteral("secret"));
            QTest::keyClick(x.f(2), Qt::Key_Return);
            QTest::keyClicks(x.f(3), QStringLiteral(" 02"));
            QTest::keyClick(x.f(3), Qt::Key_Return);
            QTest::keyClicks(x.f(0), QStringLiteral(" 11"));
            QVERIFY(x.screen->close()); // as the window's close box does
        }
        QCOMPARE(prompter.texts(), QStringList()); // no question, no message
        QVERIFY(PasswordHash::matches(QStringLiteral("secret"), stored(t.db(), "pwd", "NEWUSER")));
        QCOMPARE(stored(t.db(), "mrights", "NEWUSER"), QStringLiteral("11"));
        // and an edit left open
        {
            Fixture x;
            QVERIFY(x.open(t.db(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
            x.screen->moveFirst();
            QCOMPARE(x.f(1)->text(), QStringLiteral("NEWUSER"));
            x.screen->editRecord();
            x.f(2)->setText(QStringLiteral("changed"));
            QVERIFY(x.screen->close());
        }
        QVERIFY(PasswordHash::matches(QStringLiteral("changed"), stored(t.db(), "pwd", "NEWUSER")));
        QVERIFY(PasswordHash::isHash(stored(t.db(), "pwd", "NEWUSER")));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser")).value().toInt(), 2);
        // a new row left untouched is no user and is not written
        {
            Fixture x;
            QVERIFY(x.open(t.db(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
            x.screen->addRecord();
            QVERIFY(x.screen->close());
        }
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser")).value().toInt(), 2);
    }

    // A new user given the super-user right by its box, and codes typed as they are shown,
    // gets what they grant; a user whose password alone changed keeps the strings as stored.
    void rightsAsShownGrant_data() { test::addEngineRows(); }
    void rightsAsShownGrant()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
        auto *userSU = x.screen->findChild<QCheckBox *>(QStringLiteral("chkUserSU"));
        QVERIFY(!userSU->isEnabled()); // browsing
        x.screen->addRecord();
        QVERIFY(!userSU->isChecked());
        for (const char *text : {"CLERK2", "pw", "01 02"}) {
            QTest::keyClicks(x.screen->focusWidget(), QLatin1String(text));
            QTest::keyClick(x.screen->focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(x.screen->focusWidget(), static_cast<QWidget *>(userSU));
        QTest::keyClick(userSU, Qt::Key_Space);
        QTest::keyClick(userSU, Qt::Key_Return);
        QCOMPARE(x.screen->focusWidget(), x.f(0));
        QTest::keyClicks(x.f(0), QStringLiteral("SU"));
        QTest::keyClick(x.f(0), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        auto rights = t.db().query(QStringLiteral("select urights, mrights from loguser where uid = 'CLERK2'"));
        QVERIFY(rights.isOk() && rights->next());
        // the leading blank is what the checks look for; a fixed-width column pads the end
        const auto rightTrimmed = [](const QVariant &v) { return v.toString().remove(QRegularExpression(QStringLiteral("\\s+$"))); };
        QCOMPARE(rightTrimmed(rights->value(0)), QStringLiteral(" 01 02 SU"));
        QCOMPARE(rightTrimmed(rights->value(1)), QStringLiteral(" SU"));
        QCOMPARE(x.f(3)->text(), QStringLiteral("01 02"));
        QVERIFY(x.screen->findChild<QCheckBox *>(QStringLiteral("chkModuleSU"))->isChecked());
        // the password alone changed: the strings stay exactly as they were
        QVERIFY(t.db().exec(QStringLiteral("update loguser set urights = ' 0102' where uid = 'CLERK2'")).isOk());
        x.screen->refreshRecords();
        x.screen->moveFirst();
        QCOMPARE(x.f(1)->text(), QStringLiteral("CLERK2"));
        x.screen->editRecord();
        x.f(2)->setText(QStringLiteral("pw2"));
        x.screen->updateRecord();
        QCOMPARE(rightTrimmed(t.db().scalar(QStringLiteral("select urights from loguser where uid = 'CLERK2'")).value()),
                 QStringLiteral(" 0102"));
    }

    void saveFailureShowsNumberAndText_data() { test::addEngineRows(); }
    void saveFailureShowsNumberAndText()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
        x.screen->editRecord();
        x.f(2)->setText(QStringLiteral("x"));
        QVERIFY(t.db().exec(QStringLiteral("drop table loguser")).isOk());
        x.screen->updateRecord();
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY2(prompter.messages().first().contains(QRegularExpression(QStringLiteral("^\\S+  \\S"))),
                 qPrintable(prompter.messages().first()));
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(x.f(2)->text(), QStringLiteral("x"));
        // closing now cannot write either: said once, and the screen still closes
        prompter.clear();
        QVERIFY(x.screen->close());
        QCOMPARE(prompter.messages().size(), 1);
    }

    void closeRetriesLostConnection_data()
    {
        QTest::addColumn<bool>("serverTakesConnections");
        QTest::newRow("reconnects silently") << true;
        QTest::newRow("asks, then gives up") << false;
    }
    void closeRetriesLostConnection()
    {
        QFETCH(bool, serverTakesConnections);
        QUARL_COMPANY_DB(t, QStringLiteral("postgres"));
        ScriptedPrompter prompter;
        auto own = t.reopen(); // the screen's connection, to be cut
        QVERIFY(own.isOk());
        Fixture x;
        QVERIFY(x.open(own.value(), QStringLiteral(" SU"), QStringLiteral(" SU"), QStringLiteral("QUARL")));
        x.screen->addRecord();
        x.f(1)->setText(QStringLiteral("LOST"));
        const QString name = t.pgParams().database;
        PgParams adminParams;
        QString why;
        QVERIFY2(test::postgresParams(&adminParams, &why), qPrintable(why));
        auto admin = Database::openPostgres(adminParams);
        QVERIFY(admin.isOk());
        if (!serverTakesConnections)
            QVERIFY(admin->exec(QStringLiteral("alter database %1 allow_connections false").arg(name)).isOk());
        QVERIFY(test::dropConnection(t.db(), own.value()));
        prompter.answerYes();
        prompter.answerNo();
        QVERIFY(x.screen->close());
        if (serverTakesConnections) {
            QCOMPARE(prompter.texts(), QStringList());
            QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser where uid = 'LOST'")).value().toInt(), 1);
        } else {
            // the silent attempts, then asked twice: Yes tried once more, No ended it
            QCOMPARE(prompter.texts(), (QStringList{"Could not open connection to database Retry ?",
                                                    "Could not open connection to database Retry ?"}));
            QVERIFY(admin->exec(QStringLiteral("alter database %1 allow_connections true").arg(name)).isOk());
            QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from loguser where uid = 'LOST'")).value().toInt(), 0);
        }
    }
};

QUARL_TEST(TestUserScreen)
#include "tst_frmuser.moc"
