#include "common/screenfixture.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "app/ui/frmsyspara.h"
#include "core/installation.h"
#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "store/filer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace quarl;

namespace {

QString iniPath()
{
    return Installation::filePath(QLatin1String(Installation::SettingsFileName));
}

QString readIni()
{
    QFile f(iniPath());
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

void writeIni(const QByteArray &text)
{
    QFile f(iniPath());
    f.open(QIODevice::WriteOnly);
    f.write(text);
}

std::unique_ptr<QWidget> openScreen()
{
    std::unique_ptr<QWidget> w(createScreen(QStringLiteral("frmSyspara")));
    w->show();
    return w;
}

template<typename T>
T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

} // namespace

class TestSyspara : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loads_data()
    {
        QTest::addColumn<QString>("eformat");
        QTest::addColumn<int>("position");
        QTest::newRow("missing") << QString() << 0;
        QTest::newRow("RTF") << "0" << 0;
        QTest::newRow("PDF") << "1" << 1;
        QTest::newRow("none") << "-1" << -1;
        QTest::newRow("out of range") << "5" << -1;
        QTest::newRow("not a number") << "pdf" << 0;
    }
    void loads()
    {
        QFETCH(QString, eformat);
        QFETCH(int, position);
        test::TempHome home;
        ScriptedPrompter prompter;
        if (!eformat.isNull())
            Settings::setEmailFormat(eformat);
        Settings::setHeadingFont(QStringLiteral("  DejaVu Serif "));
        Settings::setHeadingFontSize(QStringLiteral("14"));
        Settings::setIceGateUser(QStringLiteral("AGENT01"));
        Settings::setCustomHouseCode(QStringLiteral("INNSA1"));
        auto w = openScreen();
        QCOMPARE(w->windowTitle(), QStringLiteral("System Parameters"));
        QCOMPARE(child<QComboBox>(w.get(), "Combo1")->currentIndex(), position);
        QCOMPARE(child<QComboBox>(w.get(), "Combo1")->itemText(1), QStringLiteral("PDF"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtFont")->text(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtSize")->text(), QStringLiteral("14"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtIceGateUser")->text(), QStringLiteral("AGENT01"));
        QCOMPARE(child<QLineEdit>(w.get(), "txtCustomCode")->text(), QStringLiteral("INNSA1"));
        w->close();
        QCOMPARE(Settings::emailFormat(), QString::number(position));
    }

    // Closing without a change writes all five keys, in their order; other lines stay.
    void closeWritesEveryKey()
    {
        test::TempHome home;
        ScriptedPrompter prompter;
        writeIni("; installed by the office\n[SYSTEM]\nSYSPATH=/srv/quarl/QuarlSys.qdb\n");
        auto w = openScreen();
        w->close();
        const QString ini = readIni();
        QVERIFY2(ini.startsWith(QLatin1String("; installed by the office\n[SYSTEM]\nSYSPATH=/srv/quarl/QuarlSys.qdb\n\n"
                                              "[Database]\nEformat=0\n\n[Options]\nFont=\nFontSize=\nIceGateUser=\nCustomCode=\n")),
                 qPrintable(ini));
        QVERIFY(prompter.events().isEmpty());
    }

    void editsWrittenOnClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close button") << "cmdExit";
        QTest::newRow("escape") << "escape";
        QTest::newRow("window closed") << "close";
    }
    void editsWrittenOnClose()
    {
        QFETCH(QString, how);
        test::TempHome home;
        ScriptedPrompter prompter;
        Settings::setMailSecurity(QStringLiteral("tls13")); // unknown here: kept as it stands
        auto w = openScreen();
        auto type = [&](const char *name, const QString &text) {
            auto *e = child<QLineEdit>(w.get(), name);
            e->clear();
            QTest::keyClicks(e, text);
        };
        type("txtCustomCode", QStringLiteral("INMAA1"));
        type("txtIceGateUser", QStringLiteral("O'HARA"));
        type("txtFont", QStringLiteral("DejaVu Sans"));
        type("txtSize", QStringLiteral("12"));
        child<QComboBox>(w.get(), "Combo1")->setCurrentIndex(1);
        type("txtMailHost", QStringLiteral("smtp.example.in"));
        type("txtMailPort", QStringLiteral("587x"));
        type("txtMailUser", QStringLiteral("filer"));
        type("txtMailPassword", QStringLiteral("p=w;d"));
        type("txtMailFrom", QStringLiteral("igm@example.in"));
        prompter.answerFile(QStringLiteral("/media/usb0"));
        QTest::mouseClick(child<QPushButton>(w.get(), "cmdMediaFolder"), Qt::LeftButton);
        QCOMPARE(prompter.events().last().title, QStringLiteral("Select Removable Media Folder"));
        // nothing is written while the screen is open
        QCOMPARE(Settings::customHouseCode(), QString());

        if (how == QLatin1String("cmdExit"))
            QTest::mouseClick(child<QPushButton>(w.get(), "cmdExit"), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(child<QLineEdit>(w.get(), "txtFont"), Qt::Key_Escape);
        else
            w->close();
        QVERIFY(!w->isVisible());
        QCOMPARE(Settings::customHouseCode(), QStringLiteral("INMAA1"));
        QCOMPARE(Settings::iceGateUser(), QStringLiteral("O'HARA"));
        QCOMPARE(Settings::headingFont(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(Settings::headingFontSize(), QStringLiteral("12"));
        QCOMPARE(Settings::emailFormat(), QStringLiteral("1"));
        QCOMPARE(Settings::mailHost(), QStringLiteral("smtp.example.in"));
        QCOMPARE(Settings::mailPort(), QStringLiteral("587")); // digits only
        QCOMPARE(Settings::mailSecurity(), QStringLiteral("tls13"));
        QCOMPARE(Settings::mailUser(), QStringLiteral("filer"));
        QCOMPARE(Settings::mailPassword(), QStringLiteral("p=w;d"));
        QCOMPARE(Settings::mailFrom(), QStringLiteral("igm@example.in"));
        QCOMPARE(Settings::removableMediaFolder(), QStringLiteral("/media/usb0"));
    }

    void enterMovesToTheNextField()
    {
        test::TempHome home;
        ScriptedPrompter prompter;
        auto w = openScreen();
        auto *code = child<QLineEdit>(w.get(), "txtCustomCode");
        code->setFocus();
        QTest::keyClick(code, Qt::Key_Return);
        QCOMPARE(w->focusWidget(), child<QLineEdit>(w.get(), "txtIceGateUser"));
        QTest::keyClick(w->focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(w->focusWidget(), child<QLineEdit>(w.get(), "txtFont"));
        QVERIFY(w->isVisible());
        QCOMPARE(prompter.beeps(), 0);
    }

    void mailSecurityChoices()
    {
        test::TempHome home;
        ScriptedPrompter prompter;
        auto w = openScreen();
        auto *security = child<QComboBox>(w.get(), "cboMailSecurity");
        QCOMPARE(security->currentData().toString(), QStringLiteral("none"));
        security->setCurrentIndex(security->findData(QStringLiteral("starttls")));
        w->close();
        QCOMPARE(Settings::mailSecurity(), QStringLiteral("starttls"));
    }

    // A settings file that cannot be written: the user decides, nothing is lost silently.
    // The company's filing details keyed on the screen: a value that breaks its rule keeps
    // the screen open at its field with the reason; two desks save what each changed, and a
    // detail the other desk changed meanwhile is not overwritten unseen.
    void filingDetailsOfTheCompany_data() { test::addEngineRows(); }
    void filingDetailsOfTheCompany()
    {
        QFETCH(QString, engine);
        test::TempHome home;
        QUARL_COMPANY_DB(t, engine);
        test::SessionScope session(t.db());
        ScriptedPrompter prompter;
        auto first = openScreen();
        auto second = openScreen();
        auto *code = child<QLineEdit>(first.get(), "txtSubmitterCode");
        auto *pan = child<QLineEdit>(first.get(), "txtSignerPan");
        QCOMPARE(child<QComboBox>(first.get(), "cboSubmitterType")->currentText(), QStringLiteral("ASA"));
        QCOMPARE(code->text(), QString()); // a new company has none yet
        QCOMPARE(child<QLineEdit>(first.get(), "txtNextJob")->text(), QStringLiteral("1"));
        code->setFocus();
        QTest::keyClicks(code, QStringLiteral("aabcd1234e"));
        QCOMPARE(code->text(), QStringLiteral("AABCD1234E"));
        QTest::keyClicks(pan, QStringLiteral("ABC123"));
        QVERIFY(!first->close());
        QCOMPARE(prompter.messages(), QStringList{"Signer's PAN: a PAN is five letters, four digits and a letter (AAAAA9999A)"});
        QCOMPARE(first->focusWidget(), static_cast<QWidget *>(pan));
        QCOMPARE(Filer::read(t.db())->signerPan, QString()); // nothing stored
        pan->setText(QStringLiteral("ABCPN4321K"));
        QVERIFY(first->close());
        Filer::Details stored = Filer::read(t.db()).value();
        QCOMPARE(stored.submitterCode + stored.signerPan, QStringLiteral("AABCD1234EABCPN4321K"));

        // the second desk read them empty: its change of the code is refused, and shows
        // what is stored now; what it alone changed is saved
        prompter.clear();
        child<QLineEdit>(second.get(), "txtSubmitterCode")->setText(QStringLiteral("ZZZZZ9999Z"));
        child<QLineEdit>(second.get(), "txtNextJob")->setText(QStringLiteral("50"));
        QVERIFY(!second->close());
        QVERIFY2(prompter.messages().value(0).startsWith(QLatin1String("Another workstation changed Submitter Code to \"AABCD1234E\"")),
                 qPrintable(prompter.messages().value(0)));
        QCOMPARE(child<QLineEdit>(second.get(), "txtSubmitterCode")->text(), QStringLiteral("AABCD1234E"));
        QCOMPARE(Filer::read(t.db())->nextJobNumber, 1);
        child<QLineEdit>(second.get(), "txtNextJob")->setText(QStringLiteral("50"));
        QVERIFY(second->close());
        stored = Filer::read(t.db()).value();
        QCOMPARE(stored.submitterCode + stored.signerPan, QStringLiteral("AABCD1234EABCPN4321K"));
        QCOMPARE(stored.nextJobNumber, 50);
    }

    void unwritableSettings()
    {
        test::TempHome home;
        ScriptedPrompter prompter;
        QVERIFY(QDir().mkpath(iniPath())); // a folder where the file should be
        auto w = openScreen();
        child<QLineEdit>(w.get(), "txtCustomCode")->setText(QStringLiteral("INNSA1"));
        prompter.answerNo();
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(prompter.events().size(), 1);
        QCOMPARE(prompter.events().first().kind, ScriptedPrompter::Kind::Question);
        QVERIFY(prompter.events().first().text.contains(iniPath()));
        QCOMPARE(child<QLineEdit>(w.get(), "txtCustomCode")->text(), QStringLiteral("INNSA1"));
        prompter.answerYes();
        QVERIFY(w->close());
    }
};

QUARL_TEST(TestSyspara)
#include "tst_syspara.moc"
