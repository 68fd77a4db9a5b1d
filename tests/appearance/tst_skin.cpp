#include "common/testdb.h"
#include "common/testmain.h"

#include "appearance/reportheading.h"
#include "appearance/skin.h"
#include "core/settings.h"
#include "store/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;

namespace {
const QByteArray Header = "/* Quarl skin\n   name: Sea Green\n   text-color: #102030\n   background-color: #c0ffee\n*/\n";
}

class TestSkinFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("background");
        QTest::newRow("complete") << Header + "QPushButton { padding: 4px; }\n" << true << "Sea Green" << "#102030" << "#c0ffee";
        QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + Header << true << "Sea Green" << "#102030" << "#c0ffee";
        QTest::newRow("no name, colour names, semicolons")
            << QByteArray("  /*\ntext-color: navy;\nBackground-Color: white;\n*/") << true << "fallback" << "#000080" << "#ffffff";
        QTest::newRow("text colour missing") << QByteArray("/* background-color: #ffffff */") << false << "" << "" << "";
        QTest::newRow("not a colour") << QByteArray("/*\ntext-color: #zz0000\nbackground-color: #fff\n*/") << false << "" << "" << "";
        QTest::newRow("plain style sheet") << QByteArray("QLabel { color: red; }") << false << "" << "" << "";
        QTest::newRow("comment not closed") << QByteArray("/*\ntext-color: #000\nbackground-color: #fff\n") << false << "" << "" << "";
        QTest::newRow("binary") << QByteArray("/*\0\1\2*/", 8) << false << "" << "" << "";
        QTest::newRow("not UTF-8") << QByteArray("/*\ntext-color: #000\nbackground-color: #fff\nname: Caf\xE9\n*/") << false << "" << "" << "";
        QTest::newRow("empty") << QByteArray() << false << "" << "" << "";
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, background);
        auto skin = Skins::parse(bytes, QStringLiteral("fallback"));
        QCOMPARE(skin.isOk(), ok);
        if (!ok) {
            QCOMPARE(skin.failure().code, QStringLiteral("321"));
            QVERIFY(skin.failure().description.startsWith(QLatin1String("Not a skin file")));
            return;
        }
        QCOMPARE(skin->name, name);
        QCOMPARE(skin->textColor, QColor(text));
        QCOMPARE(skin->backgroundColor, QColor(background));
        QVERIFY(skin->styleSheet.contains(QLatin1String("*/")));
    }

    void workspaceColour()
    {
        auto given = Skins::parse(QByteArray("/* text-color: #000000\n background-color: #d6e3f3\n workspace-color: #5d7fae */"));
        QVERIFY(given.isOk());
        QCOMPARE(given->workspaceColor, QColor("#5d7fae"));
        // not given: a shade of the background, darker than it
        auto derived = Skins::parse(QByteArray("/* text-color: #000000\n background-color: #d6e3f3 */"));
        QVERIFY(derived.isOk());
        QVERIFY(derived->workspaceColor.isValid());
        QVERIFY(derived->workspaceColor.lightness() < derived->backgroundColor.lightness());
        QVERIFY(!Skins::parse(QByteArray("/* text-color: #000\n background-color: #fff\n workspace-color: bluish */")).isOk());
    }

    void readFile()
    {
        QTemporaryDir dir;
        auto missing = Skins::readFile(dir.filePath(QStringLiteral("none.skn")));
        QVERIFY(!missing.isOk());
        QCOMPARE(missing.failure().code, QStringLiteral("53"));

        QFile big(dir.filePath(QStringLiteral("big.skn")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(Header + QByteArray(Skins::MaxFileSize, ' '));
        big.close();
        auto tooBig = Skins::readFile(big.fileName());
        QVERIFY(!tooBig.isOk());
        QCOMPARE(tooBig.failure().code, QStringLiteral("321"));

        auto folder = Skins::readFile(dir.path());
        QVERIFY(!folder.isOk());
    }

    void shippedSkins()
    {
        QStringList names;
        for (const QString &res : Skins::shipped()) {
            QFile f(res);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(res));
            auto skin = Skins::parse(f.readAll());
            QVERIFY2(skin.isOk(), qPrintable(skin.failure().numberAndText()));
            names << skin->name;
            // readable: text and background far apart in lightness
            QVERIFY2(qAbs(skin->textColor.lightness() - skin->backgroundColor.lightness()) > 120, qPrintable(res));
        }
        QCOMPARE(names, (QStringList{"Light", "Dark", "Classic Blue"}));
    }

    void installShipped()
    {
        test::TempHome home;
        const QString folder = Skins::folder();
        QVERIFY(folder.startsWith(home.path()));
        QDir().mkpath(folder);
        QFile edited(QDir(folder).filePath(QStringLiteral("Dark.skn")));
        QVERIFY(edited.open(QIODevice::WriteOnly));
        edited.write(Header);
        edited.close();

        QVERIFY(Skins::installShipped(folder).isOk());
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.skn")}, QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList{"Classic Blue.skn", "Dark.skn", "Light.skn"}));
        QCOMPARE(Skins::readFile(edited.fileName())->name, QStringLiteral("Sea Green")); // left as the user made it
        const QFileInfo light(QDir(folder).filePath(QStringLiteral("Light.skn")));
        QVERIFY(light.isWritable());
        QCOMPARE(Skins::readFile(light.filePath())->name, QStringLiteral("Light"));
        QVERIFY(Skins::installShipped(folder).isOk()); // again: nothing to do
    }
};

class TestReportHeading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void heading_data()
    {
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::newRow("font and size") << "DejaVu Serif" << "12" << "DejaVu Serif" << 12.0;
        QTest::newRow("fractional size") << "DejaVu Serif" << "10.5" << "DejaVu Serif" << 10.5;
        QTest::newRow("size 0") << "DejaVu Serif" << "0" << "Template Font" << 20.0;
        QTest::newRow("size not a number") << "DejaVu Serif" << "large" << "Template Font" << 20.0;
        QTest::newRow("size missing") << "DejaVu Serif" << "" << "Template Font" << 20.0;
        QTest::newRow("negative size") << "DejaVu Serif" << "-4" << "Template Font" << 20.0;
        QTest::newRow("no font") << "" << "12" << "Template Font" << 20.0;
    }
    void heading()
    {
        QFETCH(QString, font);
        QFETCH(QString, size);
        QFETCH(QString, family);
        QFETCH(double, points);
        test::TempHome home;
        Settings::setHeadingFont(font);
        Settings::setHeadingFontSize(size);
        Session::current().companyName = QStringLiteral("O'Hara & Sons Shipping");
        QString text = QStringLiteral("Company Name");
        QFont f(QStringLiteral("Template Font"));
        f.setPointSizeF(20);
        applyReportHeading(text, f);
        Session::current() = Session();
        QCOMPARE(text, QStringLiteral("O'Hara & Sons Shipping"));
        QCOMPARE(f.family(), family);
        QCOMPARE(f.pointSizeF(), points);
    }
};

QUARL_TEST(TestSkinFile)
QUARL_TEST(TestReportHeading)
#include "tst_skin.moc"
