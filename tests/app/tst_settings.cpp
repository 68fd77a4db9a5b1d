#include "common/filesizelimit.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "core/installation.h"
#include "core/safefile.h"
#include "core/settings.h"
#include "store/datasourceregistry.h"

#include <functional>

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

using namespace quarl;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readBack_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "INNSA1" << "INNSA1";
        QTest::newRow("blanks around") << "  ABC DEF  " << "ABC DEF";
        QTest::newRow("single blank") << " " << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("equals and semicolon kept") << "a=b;c" << "a=b;c";
        QTest::newRow("quote") << "O'Brien \"x\"" << "O'Brien \"x\"";
        QTest::newRow("254 kept") << QString(254, QLatin1Char('x')) << QString(254, QLatin1Char('x'));
        QTest::newRow("longer cut to 254") << QString(300, QLatin1Char('y')) << QString(254, QLatin1Char('y'));
        QTest::newRow("non-ascii") << "Mumbai – Fort" << "Mumbai – Fort";
    }
    void readBack()
    {
        QFETCH(QString, written);
        QFETCH(QString, expected);
        test::TempHome home;
        QVERIFY(WriteSetting(QStringLiteral("Options"), QStringLiteral("Font"), written));
        QCOMPARE(ReadSetting(QStringLiteral("Options"), QStringLiteral("Font")), expected);
    }

    void missingFileReadsEmptyAndFirstWriteCreatesIt()
    {
        test::TempHome home;
        const QString path = home.file(QStringLiteral("Quarl.ini"));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(ReadSetting(QStringLiteral("SYSTEM"), QStringLiteral("SYSPATH")), QString());
        QCOMPARE(Settings::savedUserId(), QString());
        QVERIFY(WriteSetting(QStringLiteral("User"), QStringLiteral("Pwd"), QStringLiteral("x")));
        QCOMPARE(readAll(path), QByteArray("[User]\nPwd=x\n"));
    }

    // A file that holds a password is its owner's alone after every write, whatever it
    // was before; one without keeps its rights as far as the rule of the program's files
    // allows (the owner's alone, or the group's too with FileSharing=group).
    void filesWithPasswordsAreOwnerOnly()
    {
        test::TempHome home;
        constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
                            | QFileDevice::WriteOther | QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto mode = [&](const QString &file) { return QFile::permissions(file) & others; };
        const QString ini = home.file(QStringLiteral("Quarl.ini"));
        QVERIFY(Settings::setSkinPath(QStringLiteral("x.skn")));
        writeAll(ini, readAll(ini)); // as an editor would leave it
        QVERIFY(QFile::setPermissions(ini, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(Settings::setSavedUserId(QStringLiteral("QUARL")));
        QCOMPARE(mode(ini), ownerOnly); // nothing secret yet, but never more than the owner's
        {
            FileRights::setSharing(FileRights::Sharing::Group);
            const auto back = qScopeGuard([] { FileRights::setSharing(FileRights::Sharing::Owner); });
            QVERIFY(QFile::setPermissions(ini, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
            QVERIFY(Settings::setSavedUserId(QStringLiteral("QUARL")));
            QCOMPARE(mode(ini), ownerOnly | QFileDevice::ReadGroup);
        }
        for (const auto &write : {std::function<bool()>([] { return Settings::setSavedPassword(QStringLiteral("TOVEK")); }),
                                  std::function<bool()>([] { return Settings::setSavedUserId(QStringLiteral("QUARL")); }),
                                  std::function<bool()>([] { return Settings::setMailPassword(QStringLiteral("m")); })}) {
            QVERIFY(write());
            QCOMPARE(mode(ini), ownerOnly);
            QVERIFY(QFile::setPermissions(ini, ownerOnly | QFileDevice::ReadOther | QFileDevice::WriteGroup));
        }
        QVERIFY(Settings::setSavedPassword(QStringLiteral("TOVEK")));
        QCOMPARE(mode(ini), ownerOnly);
        QVERIFY(readAll(ini).contains("Pwd=TOVEK"));

        // a new file with a password is never readable by others, not even for a moment
        QFile::remove(ini);
        QVERIFY(Settings::setSavedPassword(QStringLiteral("TOVEK")));
        QCOMPARE(mode(ini), ownerOnly);

        const QString sources = home.file(QStringLiteral("DataSources.ini"));
        DataSourceRegistry registry(sources);
        QVERIFY(registry.registerFile(QStringLiteral("A.qdb"), ini));
        QVERIFY(mode(sources) & QFileDevice::ReadOwner);
        QVERIFY(registry.registerPostgres(QStringLiteral("office"), PgParams{QStringLiteral("h"), 5432, QStringLiteral("d"),
                                                                             QStringLiteral("u"), QStringLiteral("pw")}));
        QCOMPARE(mode(sources), ownerOnly);
        QVERIFY(QFile::setPermissions(sources, ownerOnly | QFileDevice::ReadOther));
        QVERIFY(registry.registerFile(QStringLiteral("B.qdb"), ini)); // still holds office's password
        QCOMPARE(mode(sources), ownerOnly);
    }

    void namesMatchWithoutCase()
    {
        test::TempHome home;
        writeAll(home.file(QStringLiteral("Quarl.ini")), "[user]\nUsId=ARUN\n");
        QCOMPARE(ReadSetting(QStringLiteral("User"), QStringLiteral("UsID")), QStringLiteral("ARUN"));
        QCOMPARE(Settings::savedUserId(), QStringLiteral("ARUN"));
        Settings::setSavedUserId(QStringLiteral("MEERA"));
        // one key, rewritten in place, not a second one
        QCOMPARE(readAll(home.file(QStringLiteral("Quarl.ini"))), QByteArray("[user]\nUsID=MEERA\n"));
    }

    void writeKeepsEveryOtherLine()
    {
        test::TempHome home;
        const QString path = home.file(QStringLiteral("Quarl.ini"));
        const QByteArray before = "; installed by IT on 3/4\r\n[SYSTEM]\r\nSYSPATH=C:\\Apps\\Pelgrin\\PelSys.mdb\r\n\r\n"
                                  "[Options]\r\n; gateway\r\nIceGateUser=OLD\r\nCustom=keep me\r\n\r\n[Skin]\r\nSkin=\r\n";
        writeAll(path, before);
        Settings::setIceGateUser(QStringLiteral("NEWUSER"));
        Settings::setCustomHouseCode(QStringLiteral("INMAA1"));
        Settings::setHeadingFont(QStringLiteral("Arial"));
        const QByteArray after = "; installed by IT on 3/4\r\n[SYSTEM]\r\nSYSPATH=C:\\Apps\\Pelgrin\\PelSys.mdb\r\n\r\n"
                                 "[Options]\r\n; gateway\r\nIceGateUser=NEWUSER\r\nCustom=keep me\r\nCustomCode=INMAA1\r\n"
                                 "Font=Arial\r\n\r\n[Skin]\r\nSkin=\r\n";
        QCOMPARE(readAll(path), after);
        // a comment line that looks like a key is not a key
        QCOMPARE(ReadSetting(QStringLiteral("Options"), QStringLiteral("; gateway")), QString());
    }

    // Files edited by hand carry blanks and tabs around names and values: the key is
    // still found, and a write replaces its line instead of adding a second one.
    void blanksAroundNames_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("blanks around key and value") << QByteArray("[Options]\n  IceGateUser = OLD \nCustomCode=INNSA1\n");
        QTest::newRow("tabs") << QByteArray("[Options]\n\tIceGateUser\t=\tOLD\t\nCustomCode=INNSA1\n");
        QTest::newRow("blanks in the section line") << QByteArray("  [ options ]  \r\nIceGateUser= OLD\r\nCustomCode=INNSA1\r\n");
    }
    void blanksAroundNames()
    {
        QFETCH(QByteArray, file);
        test::TempHome home;
        const QString path = home.file(QStringLiteral("Quarl.ini"));
        writeAll(path, file);
        QCOMPARE(Settings::iceGateUser(), QStringLiteral("OLD"));
        QVERIFY(Settings::setIceGateUser(QStringLiteral("NEW")));
        QCOMPARE(Settings::iceGateUser(), QStringLiteral("NEW"));
        QCOMPARE(Settings::customHouseCode(), QStringLiteral("INNSA1"));
        const QByteArray after = readAll(path);
        QCOMPARE(after.count('\n'), file.count('\n'));
        QCOMPARE(after.toLower().count("icegateuser"), 1);
        QVERIFY(after.contains("IceGateUser=NEW"));
    }

    // A file that cannot be written whole keeps what it held: a full disk leaves no
    // half-written or empty settings file, and the write says it failed.
    void failedWriteKeepsTheFile()
    {
        test::TempHome home;
        const QString path = home.file(QStringLiteral("Quarl.ini"));
        const QByteArray before = "[SYSTEM]\nSYSPATH=/srv/quarl/QuarlSys.qdb\n[Options]\nIceGateUser=OLD\n";
        writeAll(path, before);
        {
            test::FileSizeLimit limit(16);
            QVERIFY2(limit.isSet(), "the file size limit could not be set");
            QVERIFY(!Settings::setIceGateUser(QStringLiteral("NEW")));
            const Status s = Settings::setInstallation(QStringLiteral("/elsewhere/QuarlSys.qdb"), QStringLiteral("A"),
                                                       QStringLiteral("B"));
            QVERIFY(!s.isOk());
            QVERIFY2(s.failure().numberAndText().startsWith(QLatin1String("27  ")), qPrintable(s.failure().numberAndText()));
            QVERIFY2(s.failure().description.contains(path), qPrintable(s.failure().description));
        }
        QCOMPARE(readAll(path), before);
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Quarl.ini")});
    }

    void lineBreakInValueCannotAddKeys()
    {
        test::TempHome home;
        Settings::setSavedPassword(QStringLiteral("abc\n[SYSTEM]\r\nSYSPATH=/evil"));
        QCOMPARE(Settings::sysPath(), QString());
        QCOMPARE(Settings::savedPassword(), QStringLiteral("abc [SYSTEM]  SYSPATH=/evil"));
    }

    void pathTakenAfreshOnEveryCall()
    {
        test::TempHome first;
        Settings::setCustomHouseCode(QStringLiteral("INNSA1"));
        {
            test::TempHome second;
            QCOMPARE(Settings::customHouseCode(), QString());
            Settings::setCustomHouseCode(QStringLiteral("INMAA1"));
        }
        Installation::setOverride(first.path());
        QCOMPARE(Settings::customHouseCode(), QStringLiteral("INNSA1"));
    }

    void windowsCodePageFileReads()
    {
        test::TempHome home;
        writeAll(home.file(QStringLiteral("Quarl.ini")), "[Email]\r\nSub=Manifest f\xfcr Hamburg\r\n");
        QCOMPARE(Settings::mailSubject(), QStringLiteral("Manifest f\u00fcr Hamburg"));
    }

    void igmImportSwitch_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("missing") << QString() << false;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("enabling value") << "1" << true;
        QTest::newRow("blanks") << " 1 " << true;
        QTest::newRow("text") << "yes" << false;
    }
    void igmImportSwitch()
    {
        QFETCH(QString, value);
        QFETCH(bool, enabled);
        test::TempHome home;
        if (!value.isNull())
            WriteSetting(QStringLiteral("Options"), QStringLiteral("WithIGMImport"), value);
        QCOMPARE(Settings::igmImportEnabled(), enabled);
    }
};

QUARL_TEST(TestSettings)
#include "tst_settings.moc"
