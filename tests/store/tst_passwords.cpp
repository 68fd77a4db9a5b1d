#include "common/testdb.h"
#include "common/testmain.h"

#include "store/passwordhash.h"
#include "store/schema.h"

#include <QTest>

using namespace quarl;

namespace {

constexpr auto Base64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

// A stored hash with one bit of its salt (part 0) or its hash (part 1) turned over.
QString flipped(const QString &stored, int part, int byte)
{
    QStringList pieces = stored.mid(4).split(QLatin1Char('$')); // after "$Q1$"
    QByteArray bytes = QByteArray::fromBase64(pieces.at(part).toLatin1(), Base64);
    bytes[byte] = char(bytes.at(byte) ^ 0x01);
    pieces[part] = QString::fromLatin1(bytes.toBase64(Base64));
    return stored.left(4) + pieces.join(QLatin1Char('$'));
}

} // namespace

class TestPasswords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Hashes and the plain values of older releases; an empty or blank stored value is
    // no password that anything typed matches.
    void matchesOnlyTheRightPassword_data()
    {
        QTest::addColumn<QString>("stored"); // "#" + password: its hash
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("matches");
        QTest::newRow("hash, right") << "#secret" << "secret" << true;
        QTest::newRow("hash, other case") << "#secret" << "Secret" << false;
        QTest::newRow("hash, nothing typed") << "#secret" << "" << false;
        QTest::newRow("hash of nothing, something typed") << "#" << "x" << false;
        QTest::newRow("empty, something typed") << "" << "x" << false;
        QTest::newRow("blank, something typed") << "     " << "x" << false;
        QTest::newRow("blank char column, something typed") << QString(50, QLatin1Char(' ')) << "TOVEK" << false;
        QTest::newRow("plain, right") << "TOVEK" << "TOVEK" << true;
        QTest::newRow("plain padded by its char column") << "TOVEK" + QString(45, QLatin1Char(' ')) << "TOVEK" << true;
        QTest::newRow("plain, nothing typed") << "TOVEK" << "" << false;
        QTest::newRow("a hash typed for its password") << "#secret" << "=" << false;
    }
    void matchesOnlyTheRightPassword()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        if (stored.startsWith(QLatin1Char('#'))) {
            stored = PasswordHash::make(stored.mid(1));
            QVERIFY(PasswordHash::isHash(stored));
        }
        if (typed == QLatin1String("="))
            typed = stored;
        QCOMPARE(PasswordHash::matches(typed, stored), matches);
    }

    // Every byte of salt and hash takes part in the comparison.
    void everyByteOfTheHashCounts()
    {
        const QString stored = PasswordHash::make(QStringLiteral("secret"));
        QVERIFY(PasswordHash::matches(QStringLiteral("secret"), stored));
        for (int part : {0, 1}) {
            for (int byte = 0; byte < 16; ++byte) {
                const QString spoiled = flipped(stored, part, byte);
                QVERIFY2(PasswordHash::isHash(spoiled), qPrintable(spoiled));
                QVERIFY2(!PasswordHash::matches(QStringLiteral("secret"), spoiled),
                         qPrintable(QStringLiteral("%1 byte %2").arg(part ? "hash" : "salt").arg(byte)));
            }
        }
    }

    // Who may set whose password from the shell: a super-user any, every other user the
    // own with the old one; a wrong or empty stored password lets nobody in.
    void whoMaySetAPassword_data() { test::addEngineRows(); }
    void whoMaySetAPassword()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        const auto add = [&](const char *uid, const QString &pwd, const char *mrights) {
            return db.exec(QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values (?, ?, ' 02', ?)"),
                           {QLatin1String(uid), pwd, QLatin1String(mrights)});
        };
        QVERIFY(add("CLERK", PasswordHash::make(QStringLiteral("clerkpw")), " 11 05"));
        QVERIFY(add("NOPWD", QString(), " SU"));
        QVERIFY(add("BLANKSU", QStringLiteral("   "), " SU"));
        QVERIFY(add("OLDSU", QStringLiteral("legacy"), "0105 SU"));
        QVERIFY(add("ALMOST", PasswordHash::make(QStringLiteral("almost")), "SU 11")); // no blank before SU

        struct Case
        {
            const char *acting;
            const char *password;
            const char *target;
            const char *refusal; // empty: allowed
        };
        const Case cases[] = {
            {"QUARL", "TOVEK", "CLERK", ""},
            {"QUARL", "tovek", "CLERK", "Access denied Username/Password do not match"},
            {"CLERK", "clerkpw", "CLERK", ""},
            {"CLERK", "clerkpw", "QUARL", "CLERK is not a super-user"},
            {"NOPWD", "anything", "CLERK", "Access denied"},
            {"BLANKSU", "anything", "QUARL", "Access denied"},
            {"OLDSU", "legacy", "CLERK", ""},
            {"ALMOST", "almost", "CLERK", "ALMOST is not a super-user"},
            {"NOBODY", "", "CLERK", "Access denied"},
        };
        for (const Case &c : cases) {
            const Status s = mayChangePassword(db, QLatin1String(c.acting), QLatin1String(c.password), QLatin1String(c.target));
            const QString what = QStringLiteral("%1/%2 -> %3: %4").arg(c.acting, c.password, c.target, s.failure().description);
            if (*c.refusal == 0) {
                QVERIFY2(s.isOk(), qPrintable(what));
            } else {
                QVERIFY2(!s.isOk() && s.failure().description.startsWith(QLatin1String(c.refusal)), qPrintable(what));
            }
        }
    }
};

QUARL_TEST(TestPasswords)
#include "tst_passwords.moc"
