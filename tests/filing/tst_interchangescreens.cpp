#include "common/screenfixture.h"
#include "common/testdb.h"
#include "common/testmail.h"
#include "common/testmain.h"
#include "common/igmtestdata.h"
#include "common/samtestdata.h"

#include "core/installation.h"
#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "core/ui/altkeys.h"
#include "core/ui/screenregistry.h"
#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "manifest/igmmessages.h"
#include "manifest/syntheticvoyage.h"
#include "sam/samfile.h"
#include "store/filer.h"
#include "store/schema.h"
#include "store/session.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include <memory>

using namespace quarl;

namespace {

std::unique_ptr<QWidget> open(const char *name)
{
    std::unique_ptr<QWidget> w(createScreen(QLatin1String(name)));
    if (w) {
        w->show();
        QApplication::setActiveWindow(w.get());
        w->activateWindow();
        QCoreApplication::processEvents();
    }
    return w;
}

template<typename T = QLineEdit>
T *child(QWidget *w, const QString &name)
{
    return w->findChild<T *>(name);
}

QLineEdit *field(QWidget *w, int index)
{
    return child(w, QStringLiteral("txtFields(%1)").arg(index));
}

void click(QWidget *w, const char *button)
{
    QTest::mouseClick(child<QPushButton>(w, QLatin1String(button)), Qt::LeftButton);
}

// Types the voyage key the way a user does: vessel code, Enter, voyage number.
void typeVoyage(QWidget *w, const QString &vessel, const QString &voyage)
{
    field(w, 4)->setFocus();
    QTest::keyClicks(field(w, 4), vessel);
    QTest::keyClick(field(w, 4), Qt::Key_Return);
    QTest::keyClicks(w->focusWidget(), voyage);
}

void setGateway()
{
    Settings::setIceGateUser(QLatin1String(test::GatewayUser));
    Settings::setCustomHouseCode(QLatin1String(test::CustomHouse));
}

} // namespace

// The five interchange screens driven as a user drives them, on a company database of the
// session and an installation folder of their own.
class TestInterchangeScreens : public QObject
{
    Q_OBJECT

    void useDatabase(const Database &db) { Session::current().connection = db; }

private Q_SLOTS:
    void cleanup() { Session::current() = Session(); }

    // Generate on Floppy with a media folder still to choose, then Email File to the test
    // server: the file, its copy and the mail attachment are the same bytes.
    void flatFileToMediaAndMail()
    {
        test::TestSmtp smtp;
        QString why;
        QVERIFY2(test::testSmtp(&smtp, &why), qPrintable(why));
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        useDatabase(t.db());
        test::TempHome home;
        QTemporaryDir media;
        setGateway();
        const QString token = QUuid::createUuid().toString(QUuid::Id128).left(12);
        WriteSetting(QStringLiteral("Email"), QStringLiteral("To"), QStringLiteral("customs@icegate.example"));
        WriteSetting(QStringLiteral("Email"), QStringLiteral("CC"), QStringLiteral("desk@seapearl.example"));
        WriteSetting(QStringLiteral("Email"), QStringLiteral("Sub"), QStringLiteral("IGM ") + token);
        WriteSetting(QStringLiteral("Email"), QStringLiteral("Msg"), QStringLiteral("Manifest attached, freight \u20b9 12,500 paid."));
        Settings::setMailHost(smtp.host);
        Settings::setMailPort(QString::number(smtp.port));
        Settings::setMailFrom(QStringLiteral("filing@seapearl.example"));

        ScriptedPrompter prompter;
        auto w = open("frmVslRep");
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Generate Flat-File"));
        QVERIFY(prompter.events().isEmpty()); // the gateway settings are there
        QCOMPARE(field(w.get(), 0)->text(), QStringLiteral("customs@icegate.example"));
        QCOMPARE(field(w.get(), 2)->text(), QStringLiteral("IGM ") + token);
        typeVoyage(w.get(), QStringLiteral("ABCD"), QStringLiteral("123E"));
        QCOMPARE(field(w.get(), 5)->text(), QStringLiteral("123E"));

        // the voyage has errors the check lists (old data): each hand-on is confirmed
        prompter.answerYes(2);
        prompter.answerFile(media.path());
        click(w.get(), "cmdPreview");
        const QString path = home.file(QStringLiteral("ABCD123E.igm"));
        const QByteArray written = test::readFile(path);
        QCOMPARE(written, test::readFixture(QStringLiteral("ABCD123E.igm")));
        QCOMPARE(prompter.events().at(1).text, QStringLiteral("The file has 3 errors. Hand it on anyway?"));
        QCOMPARE(prompter.events().at(2).kind, ScriptedPrompter::Kind::Question);
        QCOMPARE(prompter.events().at(2).text, QLatin1String(igm::Messages::FilePrefix) + path
                                                   + QLatin1String(igm::Messages::SavedCopyToFloppy));
        QCOMPARE(prompter.events().at(3).kind, ScriptedPrompter::Kind::Folder);
        QCOMPARE(test::readFile(QDir(media.path()).filePath(QStringLiteral("ABCD123E.igm"))), written);
        QCOMPARE(QDir(media.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("ABCD123E.igm")});
        QCOMPARE(Settings::removableMediaFolder(), media.path()); // remembered
        QVERIFY(prompter.scriptUsedUp());

        // the next copy goes to the remembered folder without asking
        prompter.clear();
        prompter.answerYes(2);
        click(w.get(), "cmdPreview");
        QCOMPARE(prompter.events().size(), 4);
        QVERIFY(prompter.messages().last().contains(media.path()));

        prompter.clear();
        prompter.answerYes();
        click(w.get(), "cmdEmail");
        QCOMPARE(prompter.messages().last(), QStringLiteral("The mail is sent to customs@icegate.example, desk@seapearl.example."));
        const QList<test::ReceivedMail> got = test::receivedMail(smtp.maildir, token);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.first().headers.value(QStringLiteral("cc")), QStringLiteral("desk@seapearl.example"));
        QVERIFY(got.first().headers.value(QStringLiteral("x-rcptto")).contains(QLatin1String("desk@seapearl.example")));
        QCOMPARE(got.first().body, QStringLiteral("Manifest attached, freight \u20b9 12,500 paid."));
        QCOMPARE(got.first().attachments.size(), 1);
        QCOMPARE(got.first().attachments.first().fileName, QStringLiteral("ABCD123E.igm"));
        QCOMPARE(got.first().attachments.first().data, written);
    }

    // Missing gateway settings, a voyage without lines, a media folder that is gone, a copy
    // that fails: each says so and goes no further.
    void flatFileRefusals()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname) values ('EMPT', '1', 'EMPTY')")));
        useDatabase(t.db());
        test::TempHome home;
        ScriptedPrompter prompter;
        auto w = open("frmVslRep");
        QCOMPARE(prompter.messages(), QStringList{QLatin1String(igm::Messages::SettingsMissingAdvice)});
        typeVoyage(w.get(), QStringLiteral("ABCD"), QStringLiteral("123E"));
        prompter.clear();
        click(w.get(), "cmdPreview");
        QCOMPARE(prompter.texts(), QStringList{QLatin1String(igm::Messages::SettingsMissing)});

        setGateway();
        field(w.get(), 4)->setText(QStringLiteral("EMPT"));
        field(w.get(), 5)->setText(QStringLiteral("1"));
        prompter.clear();
        click(w.get(), "cmdEmail");
        QCOMPARE(prompter.texts(), QStringList{QLatin1String(igm::Messages::NoCargo)});

        // the remembered stick is not mounted: the user is told, then picks another folder
        QTemporaryDir media;
        const QString gone = media.filePath(QStringLiteral("stick"));
        Settings::setRemovableMediaFolder(gone);
        field(w.get(), 4)->setText(QStringLiteral("ABCD"));
        field(w.get(), 5)->setText(QStringLiteral("123E"));
        prompter.clear();
        prompter.answerYes(2); // the check's errors, then the copy
        prompter.answerFile(QString()); // cancelled: nothing copied, nothing more said
        click(w.get(), "cmdPreview");
        QCOMPARE(prompter.events().size(), 5);
        QVERIFY(prompter.messages().at(1).contains(gone));
        QCOMPARE(Settings::removableMediaFolder(), gone);
        // a chosen "folder" that is a file: the copy fails with number and text
        const QString blocker = media.filePath(QStringLiteral("blocker"));
        QVERIFY(test::writeFile(blocker, "x"));
        prompter.clear();
        prompter.answerYes(2);
        prompter.answerFile(blocker);
        click(w.get(), "cmdPreview");
        QCOMPARE(prompter.events().size(), 6);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+  \\S")).match(prompter.messages().last()).hasMatch(),
                 qPrintable(prompter.messages().last()));
    }

    // In the layout of the settings: Check lists nothing on a clean voyage and the file goes
    // on at once; a broken container number is listed by line and field, and the file is
    // handed on only when the user says so.
    void flatFileCheck()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addIces15Voyage(t.db()).isOk());
        useDatabase(t.db());
        test::TempHome home;
        QTemporaryDir media;
        setGateway();
        Settings::setIgmLayout(QStringLiteral("ices15"));
        Settings::setRemovableMediaFolder(media.path());
        ScriptedPrompter prompter;
        auto w = open("frmVslRep");
        QCOMPARE(child<QPushButton>(w.get(), QStringLiteral("cmdCheck"))->text(), QStringLiteral("&Check"));
        typeVoyage(w.get(), QStringLiteral("9V3523"), QStringLiteral("22021W"));
        const QString path = home.file(QStringLiteral("9V352322021W.igm"));
        const QString copy = QDir(media.path()).filePath(QStringLiteral("9V352322021W.igm"));

        click(w.get(), "cmdCheck");
        QCOMPARE(prompter.events().size(), 1);
        QCOMPARE(prompter.events().at(0).title, QStringLiteral("Check"));
        QCOMPARE(prompter.events().at(0).icon, Prompter::Icon::Information);
        QCOMPARE(prompter.events().at(0).text, QStringLiteral("File %1: 0 errors, 0 warnings.").arg(path));
        const QByteArray first = test::readFile(path);
        QVERIFY(first.startsWith("HREC\x1dZZ\x1d" + QByteArray(test::GatewayUser)));
        prompter.clear();
        prompter.answerYes();
        click(w.get(), "cmdPreview");
        QCOMPARE(prompter.events().at(0).kind, ScriptedPrompter::Kind::Question); // straight to the copy
        QVERIFY(QFile::exists(copy));
        QVERIFY(QFile::remove(copy));

        QVERIFY(t.db().exec(QStringLiteral("update contain set containno = 'MSKU1234566' where containno = 'MSKU1234565'")));
        prompter.clear();
        click(w.get(), "cmdCheck");
        QCOMPARE(prompter.messages().size(), 1);
        const QString listed = prompter.messages().first();
        QVERIFY2(listed.startsWith(QStringLiteral("File %1: 1 error, 0 warnings.\n\nError, line ").arg(path)), qPrintable(listed));
        QVERIFY2(listed.contains(QLatin1String("MSKU1234566: check digit should be 5, not 6.")), qPrintable(listed));
        const QString bl = t.db().scalar(QStringLiteral("select c.blno from cargo c join contain k on k.ref = c.id "
                                                        "where k.containno = 'MSKU1234566'"))->toString();
        QVERIFY2(listed.contains(QRegularExpression(QStringLiteral("Error, line \\d+ \\(B/L %1\\), container field").arg(bl))),
                 qPrintable(listed));
        QCOMPARE(prompter.events().first().icon, Prompter::Icon::Critical);
        // the same list before the copy; No keeps the file in the office
        for (const char *command : {"cmdPreview", "cmdEmail"}) {
            prompter.clear();
            prompter.answerNo();
            click(w.get(), command);
            QCOMPARE(prompter.texts(), (QStringList{listed, QStringLiteral("The file has 1 error. Hand it on anyway?")}));
            QCOMPARE(prompter.events().at(1).kind, ScriptedPrompter::Kind::Question);
        }
        QVERIFY(!QFile::exists(copy));
        prompter.clear();
        prompter.answerYes(2);
        click(w.get(), "cmdPreview");
        QCOMPARE(prompter.events().size(), 4); // list, anyway?, copy?, copied
        QCOMPARE(test::readFile(copy), test::readFile(path));
        QVERIFY(prompter.scriptUsedUp());
    }

    // Generate SAM (SCMTR) driven from the keyboard: Check lists what the voyage lacks and
    // writes nothing; once keyed in, Generate on Floppy writes the file with the company's
    // job number, says the signature is empty and copies it; Read Reply names the B/L.
    void samScreen()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        igm::SamImportOptions in;
        in.vessel = QStringLiteral("GOLD");
        QVERIFY(igm::importSamFile(t.db(), test::samFixture(QStringLiteral("golden_small.json")), in,
                                   [](const QString &) { return true; })
                    .outcome.isOk());
        useDatabase(t.db());
        test::TempHome home;
        QTemporaryDir media;
        setGateway();
        Settings::setRemovableMediaFolder(media.path());
        ScriptedPrompter prompter;
        // in the work area, as the program shows it: the Alt keys of the screen's buttons answer
        QMdiArea area;
        ScreenAltKeys::install(&area);
        QWidget *screen = createScreen(QStringLiteral("frmSamRep"));
        QVERIFY(screen);
        area.addSubWindow(screen)->show();
        area.show();
        QApplication::setActiveWindow(&area);
        QVERIFY(QTest::qWaitForWindowActive(&area));
        QWidget *w = screen;
        QCOMPARE(w->windowTitle(), QStringLiteral("Generate SAM (SCMTR)"));
        QVERIFY(child<QLabel>(w, QStringLiteral("lblSignature"))->text().contains(QLatin1String("digSign")));
        typeVoyage(w, QStringLiteral("GOLD"), QStringLiteral("024E"));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(prompter.events().size(), 1);
        QCOMPARE(prompter.events().at(0).icon, Prompter::Icon::Critical);
        QVERIFY2(prompter.messages().at(0).contains(QLatin1String("Voyage: PAN of the signer missing")),
                 qPrintable(prompter.messages().at(0)));
        QVERIFY(QDir(home.path()).entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Hidden).isEmpty());

        // Generate refuses with the same list and spends no job number
        prompter.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier);
        QCOMPARE(prompter.events().size(), 1);
        QVERIFY(prompter.messages().at(0).contains(QLatin1String("was not written")));
        QCOMPARE(Filer::read(t.db()).value().nextJobNumber, qint64(1));

        Filer::Details d;
        d.submitterType = QStringLiteral("ASA");
        d.submitterCode = QStringLiteral("AAACQ1234R");
        d.signerPan = QStringLiteral("ABCPQ5678K");
        QUARL_VERIFY_OK(Filer::write(t.db(), d));
        prompter.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(prompter.events().at(0).icon, Prompter::Icon::Information);
        QVERIFY2(prompter.messages().at(0).contains(QLatin1String("0 errors, 0 warnings")), qPrintable(prompter.messages().at(0)));

        prompter.clear();
        prompter.answerYes();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier);
        const QString name = QStringLiteral("F_SACHM23_SAM_%1_1_%2_DEC.json")
                                 .arg(QLatin1String(test::GatewayUser), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        const QString path = home.file(name);
        QVERIFY2(QFile::exists(path), qPrintable(prompter.texts().join(QLatin1Char('\n'))));
        QVERIFY(prompter.messages().at(0).contains(QLatin1String("job number 1")));
        QVERIFY(prompter.messages().at(0).contains(QLatin1String("digSign")));
        QCOMPARE(prompter.events().at(1).kind, ScriptedPrompter::Kind::Question);
        QCOMPARE(test::readFile(QDir(media.path()).filePath(name)), test::readFile(path));
        QVERIFY(prompter.scriptUsedUp());
        // the voyage's filings, newest first
        auto *filings = child<QTableWidget>(w, QStringLiteral("tblFilings"));
        QCOMPARE(filings->rowCount(), 1);
        QCOMPARE(filings->item(0, 1)->text(), QStringLiteral("1"));
        QCOMPARE(filings->item(0, 7)->text(), QStringLiteral("written"));

        // the next number's file of the day lies there already: it stays, and the file
        // takes the number after it, as the message says
        const QString second = QStringLiteral("F_SACHM23_SAM_%1_2_%2_DEC.json")
                                   .arg(QLatin1String(test::GatewayUser), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        QVERIFY(test::writeFile(home.file(second), "another voyage's declaration"));
        prompter.clear();
        prompter.answerNo();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier);
        QVERIFY2(prompter.messages().at(0).startsWith(QStringLiteral("Job number 2 names a file of this day in the "
                                                                     "folder already (%1)").arg(second)),
                 qPrintable(prompter.messages().at(0)));
        QVERIFY(prompter.messages().at(0).contains(QLatin1String("written with job number 3")));
        QCOMPARE(test::readFile(home.file(second)), QByteArray("another voyage's declaration"));
        QVERIFY(QFile::exists(home.file(QString(second).replace(QStringLiteral("_2_"), QStringLiteral("_3_")))));

        // the gateway's answer beside the file it answers
        QFile::copy(test::samFixture(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json")),
                    home.file(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json")));
        QVERIFY(test::writeFile(home.file(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_DEC.json")), test::samGoldenData()));
        prompter.clear();
        prompter.answerFile(home.file(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(prompter.events().at(0).kind, ScriptedPrompter::Kind::OpenFile);
        const QString listed = prompter.messages().last();
        QVERIFY2(listed.startsWith(QLatin1String("Acknowledgement (_ACK): 3 errors")), qPrintable(listed));
        QCOMPARE(listed.count(QLatin1String("Line 2 B/L MSCSIN0002: ")), 2);
        // a reply to no filing of the register is listed, not stored
        QVERIFY2(listed.contains(QLatin1String("holds no filing")), qPrintable(listed));
        QCOMPARE(filings->rowCount(), 2);
        QCOMPARE(filings->item(0, 1)->text(), QStringLiteral("3"));
        QCOMPARE(filings->item(1, 7)->text(), QStringLiteral("written"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), filings);
    }

    // Overtype typing, Enter as Tab and Escape, on one of the screens that share them.
    void keyboard()
    {
        test::TempHome home;
        setGateway();
        ScriptedPrompter prompter;
        auto w = open("frmCargoRep");
        QLineEdit *vessel = field(w.get(), 4);
        vessel->setText(QStringLiteral("ABCD"));
        vessel->setFocus();
        vessel->setCursorPosition(1);
        QTest::keyClicks(vessel, QStringLiteral("XY"));
        QCOMPARE(vessel->text(), QStringLiteral("AXYD"));
        QTest::keyClick(vessel, Qt::Key_Backspace);
        QCOMPARE(vessel->text(), QStringLiteral("AXD"));
        QTest::keyClicks(vessel, QStringLiteral("ZZ")); // past the end it appends
        QCOMPARE(vessel->text(), QStringLiteral("AXZZ"));
        QTest::keyClick(vessel, Qt::Key_Return);
        QCOMPARE(w->focusWidget(), field(w.get(), 5));
        QCOMPARE(vessel->text(), QStringLiteral("AXZZ"));
        QTest::keyClick(field(w.get(), 5), Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QVERIFY(prompter.events().isEmpty()); // no gateway check on this screen
    }

    // The IGM file of one company into a second one: No changes nothing, Yes adds the
    // voyage; a cancelled import stores nothing.
    void importIgmFile()
    {
        QUARL_COMPANY_DB(source, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(target, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(source.db()).isOk());
        test::TempHome home;
        igm::IgmWriteOptions o{QLatin1String(test::GatewayUser), QLatin1String(test::CustomHouse), {}};
        const igm::IgmWriteResult written = igm::generateIgmFile(source.db(), home.path(), QStringLiteral("ABCD"),
                                                                 QStringLiteral("123E"), o);
        QVERIFY(written.outcome.isOk());
        useDatabase(target.db());

        ScriptedPrompter prompter;
        auto w = open("frmImportIGM");
        QCOMPARE(w->windowTitle(), QStringLiteral("Import Igm File"));
        prompter.answerFile(written.path);
        click(w.get(), "Command1");
        QCOMPARE(prompter.events().first().kind, ScriptedPrompter::Kind::OpenFile);
        QCOMPARE(prompter.events().first().text, QStringLiteral("Select IGM File Name"));
        QCOMPARE(child(w.get(), QStringLiteral("Text1"))->text(), written.path);
        child<QCheckBox>(w.get(), QStringLiteral("chkVessel"))->setChecked(true);

        prompter.clear();
        prompter.answerNo();
        click(w.get(), "cmdImport");
        QCOMPARE(prompter.texts(), QStringList{QStringLiteral("Import Data For ABCD / 123E ?")});
        QCOMPARE(test::voyageRows(target.db()), 0);

        prompter.clear();
        prompter.answerYes();
        click(w.get(), "cmdImport");
        QCOMPARE(prompter.messages(),
                 (QStringList{QStringLiteral("Vessel code ABCD added to the vessel codes with name MV GOLDEN ARROW."),
                              QLatin1String(igm::Messages::Imported)}));
        QCOMPARE(test::voyageRows(target.db()), 1 + 3 + 3);
        QCOMPARE(test::count(target.db(), QStringLiteral("select count(*) from cargo where sublineno <> 0")), 0);

        // the same file again: the line it holds already is named, not the database's words
        child<QCheckBox>(w.get(), QStringLiteral("chkVessel"))->setChecked(false);
        const QString first = source.db().scalar(QStringLiteral("select blno from cargo where vslcode = 'ABCD' and "
                                                                "voyno = '123E' order by id"))->toString();
        prompter.clear();
        prompter.answerYes();
        click(w.get(), "cmdImport");
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("B/L No. %1 is already line 1 of ABCD / 123E: the voyage is in "
                                                                 "this company already, and nothing of the file was stored.")
                                                      .arg(first)});
        QCOMPARE(test::voyageRows(target.db()), 1 + 3 + 3);
    }

    // Cancel on the progress of a long import: nothing of the file is stored, and it is said.
    void cancelledImport()
    {
        QUARL_COMPANY_DB(source, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(target, QStringLiteral("sqlite"));
        QVERIFY(igm::addSyntheticVoyage(source.db(), {QStringLiteral("LONG"), QStringLiteral("1"), 1500, 1500, 7}).isOk());
        test::TempHome home;
        igm::IgmWriteOptions o{QLatin1String(test::GatewayUser), QLatin1String(test::CustomHouse), {}};
        const igm::IgmWriteResult written = igm::generateIgmFile(source.db(), home.path(), QStringLiteral("LONG"),
                                                                 QStringLiteral("1"), o);
        QVERIFY(written.outcome.isOk());
        useDatabase(target.db());
        ScriptedPrompter prompter;
        auto w = open("frmImportIGM");
        child(w.get(), QStringLiteral("Text1"))->setText(written.path);
        child<QCheckBox>(w.get(), QStringLiteral("chkVessel"))->setChecked(true);
        int cancels = 0;
        QTimer user; // presses Cancel as soon as the progress is there
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (auto *d = w->findChild<QProgressDialog *>(QStringLiteral("dlgProgress")); d && !d->wasCanceled()) {
                d->cancel();
                ++cancels;
            }
        });
        user.start(0);
        prompter.answerYes();
        click(w.get(), "cmdImport");
        user.stop();
        QCOMPARE(cancels, 1);
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("The import was cancelled; nothing of the file was stored.")});
        QCOMPARE(test::voyageRows(target.db()), 0);
        QVERIFY(!w->findChild<QProgressDialog *>());
    }

    // The agent's XML files out of one company and into another, through both screens.
    void xmlExportAndImport()
    {
        QUARL_COMPANY_DB(source, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(target, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(source.db()).isOk());
        test::TempHome home;
        useDatabase(source.db());
        ScriptedPrompter prompter;
        auto out = open("frmCargoRep");
        QCOMPARE(out->windowTitle(), QStringLiteral("Generate XML File (Cargo)"));
        typeVoyage(out.get(), QStringLiteral("abcd"), QStringLiteral("123e")); // taken as capitals
        QTemporaryDir media;
        prompter.answerYes();
        prompter.answerFile(media.path());
        click(out.get(), "cmdPreview");
        const QString cargo = home.file(QStringLiteral("cargo.xml"));
        const QString contain = home.file(QStringLiteral("contain.xml"));
        const QString items = home.file(QStringLiteral("cargoitem.xml"));
        QCOMPARE(prompter.events().first().text,
                 QStringLiteral("Files %1, %2 and %3 successfully are saved in Program Folder, Copy Files to Floppy ? ")
                     .arg(cargo, contain, items));
        // the files to the media, the same way as the flat file
        QCOMPARE(test::readFile(QDir(media.path()).filePath(QStringLiteral("cargo.xml"))), test::readFile(cargo));
        QCOMPARE(test::readFile(QDir(media.path()).filePath(QStringLiteral("contain.xml"))), test::readFile(contain));
        QCOMPARE(test::readFile(QDir(media.path()).filePath(QStringLiteral("cargoitem.xml"))), test::readFile(items));
        QVERIFY(prompter.messages().last().contains(media.path()));

        useDatabase(target.db());
        prompter.clear();
        auto in = open("frmImport");
        QCOMPARE(in->windowTitle(), QStringLiteral("Import Cargo / Container"));
        prompter.answerFile(cargo);
        click(in.get(), "Command1");
        prompter.answerFile(contain);
        click(in.get(), "Command2");
        QCOMPARE(child(in.get(), QStringLiteral("Text2"))->text(), contain);
        field(in.get(), 4)->setText(QStringLiteral("ABCD"));
        field(in.get(), 5)->setText(QStringLiteral("123E"));
        prompter.clear();
        click(in.get(), "cmdImport");
        QCOMPARE(prompter.messages(), QStringList{QLatin1String(igm::Messages::Imported)});
        QCOMPARE(test::count(target.db(), QStringLiteral("select count(*) from cargo where voyno = '123E'")), 3);
        QCOMPARE(test::count(target.db(), QStringLiteral("select count(*) from contain c join cargo g on c.ref = g.id")), 3);

        // a voyage without lines is not mailed
        useDatabase(source.db());
        prompter.clear();
        field(out.get(), 5)->setText(QStringLiteral("999"));
        field(out.get(), 0)->setText(QStringLiteral("agent@example.in"));
        click(out.get(), "cmdEmail");
        QCOMPARE(prompter.messages(), QStringList{QLatin1String(igm::Messages::NoVoyage)});
    }

    // The warning on open, No, removal without and with the voyage header.
    void removeData()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        useDatabase(t.db());
        test::TempHome home;
        ScriptedPrompter prompter;
        auto w = open("frmRemove");
        QCOMPARE(prompter.events().size(), 1);
        QCOMPARE(prompter.events().first().text, QLatin1String(igm::Messages::RemovalWarning));
        QCOMPARE(prompter.events().first().icon, Prompter::Icon::Critical);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(field(w.get(), 4)));
        auto *withVessel = child<QCheckBox>(w.get(), QStringLiteral("chkWithVessel"));
        QVERIFY(!withVessel->isChecked());
        typeVoyage(w.get(), QStringLiteral("ABCD"), QStringLiteral("123E"));
        const qint64 before = test::voyageRows(t.db());

        prompter.clear();
        prompter.answerNo();
        click(w.get(), "cmdRemove");
        QCOMPARE(prompter.texts(), QStringList{QLatin1String(igm::Messages::RemovalQuestion)});
        QVERIFY(prompter.events().first().defaultNo); // an Enter too many deletes nothing
        QCOMPARE(test::voyageRows(t.db()), before);

        prompter.clear();
        prompter.answerYes();
        click(w.get(), "cmdRemove");
        QCOMPARE(prompter.messages(), QStringList{QLatin1String(igm::Messages::Removed)});
        const QString lines = QStringLiteral("select count(*) from cargo where vslcode = 'ABCD' and voyno = '123E'");
        const QString header = QStringLiteral("select count(*) from vesinfo where vslcode = 'ABCD' and voyno = '123E'");
        QCOMPARE(test::count(t.db(), lines), 0);
        QCOMPARE(test::count(t.db(), header), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where voyno = '123F'")), 1);

        // the header alone is not removed, even with the box ticked
        withVessel->setChecked(true);
        prompter.clear();
        prompter.answerYes();
        click(w.get(), "cmdRemove");
        QCOMPARE(prompter.messages(), QStringList{QLatin1String(igm::Messages::NothingToRemove)});
        QCOMPARE(test::count(t.db(), header), 1);
        QCOMPARE(field(w.get(), 4)->text(), QStringLiteral("ABCD"));
    }

    // The screens with demo values, into $QUARL_SCREENSHOT_DIR when set.
    void screenshots()
    {
        test::TempHome home;
        setGateway();
        WriteSetting(QStringLiteral("Email"), QStringLiteral("To"), QStringLiteral("igm@icegate.example"));
        WriteSetting(QStringLiteral("Email"), QStringLiteral("CC"), QStringLiteral("accounts@seapearl.example"));
        WriteSetting(QStringLiteral("Email"), QStringLiteral("Sub"), QStringLiteral("IGM SEA PEARL 024E"));
        WriteSetting(QStringLiteral("Email"), QStringLiteral("Msg"), QStringLiteral("Please find the manifest attached."));
        QTemporaryDir temp;
        QString dir = qEnvironmentVariable("QUARL_SCREENSHOT_DIR");
        if (dir.isEmpty())
            dir = temp.path();
        ScriptedPrompter prompter;
        QMdiArea area; // in a window frame, so that the caption shows
        area.resize(800, 600);
        area.show();
        for (const char *name : {"frmVslRep", "frmSamRep", "frmCargoRep", "frmImportIGM", "frmImportSAM", "frmImport", "frmRemove"}) {
            QWidget *w = createScreen(QLatin1String(name));
            QVERIFY(w);
            QMdiSubWindow *sub = area.addSubWindow(w);
            sub->show();
            if (QLineEdit *v = field(w, 4)) {
                v->setText(QStringLiteral("SEAPRL"));
                field(w, 5)->setText(QStringLiteral("024E"));
            }
            if (QLineEdit *t = child(w, QStringLiteral("Text1"))) {
                const QString n = QLatin1String(name);
                t->setText(n == QLatin1String("frmImport")      ? QStringLiteral("/media/usb/cargo.xml")
                           : n == QLatin1String("frmImportSAM") ? QStringLiteral("/media/usb/F_SACHM23_SAM_DEMOAGENT_7_20250310_DEC.json")
                                                                : QStringLiteral("/media/usb/SEAPRL024E.igm"));
            }
            if (QLineEdit *t = child(w, QStringLiteral("Text2")))
                t->setText(QStringLiteral("/media/usb/contain.xml"));
            sub->adjustSize();
            QCoreApplication::processEvents();
            const QImage picture = sub->grab().toImage();
            // the picture shows the screen whole, under its caption
            QVERIFY2(!w->windowTitle().isEmpty(), name);
            const QString fault = test::pictureFault(sub, picture);
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
            QVERIFY(picture.save(QDir(dir).filePath(QString::fromLatin1(name).toLower() + QStringLiteral(".png"))));
            delete sub;
        }
    }
};

QUARL_TEST(TestInterchangeScreens)
#include "tst_interchangescreens.moc"
