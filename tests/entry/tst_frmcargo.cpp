#include "cargotest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "entry/cargorules.h"
#include "entry/ui/codecombo.h"
#include "entry/ui/frmcargo.h"
#include "entry/ui/goodsitemsgrid.h"
#include "store/schema.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <memory>

using namespace quarl;
using cargotest::countRows;

namespace {

struct Fixture
{
    std::unique_ptr<test::SessionScope> session;
    std::unique_ptr<frmCargo> screen;

    bool open(const Database &db)
    {
        session = std::make_unique<test::SessionScope>(db);
        screen = std::make_unique<frmCargo>();
        return test::showActive(screen.get());
    }
    QLineEdit *f(int index) const { return screen->findChild<QLineEdit *>(QStringLiteral("txtFields(%1)").arg(index)); }
    QComboBox *combo(const char *name) const { return screen->combo(QLatin1String(name)); }
    QWidget *focus() const { return QApplication::focusWidget(); }
    QTableWidget *grid() const { return screen->grid(); }
    QLineEdit *editor() const { return screen->findChild<QLineEdit *>(QStringLiteral("txtGtext")); }
    QString cell(int row, int col) const
    {
        const QTableWidgetItem *i = grid()->item(row, col);
        return i ? i->text() : QString();
    }
    void enter() { QTest::keyClick(focus(), Qt::Key_Return); }
    // Types into the focused field and moves on with Enter.
    void type(const QString &text)
    {
        QTest::keyClicks(focus(), text);
        enter();
    }
    // Picks a code in the focused combo with the arrow keys, then Enter.
    void choose(const QString &code)
    {
        auto *c = qobject_cast<QComboBox *>(focus());
        QVERIFY(c);
        const int target = c->findData(code);
        QVERIFY(target >= 0);
        QTest::keyClick(c, Qt::Key_Home);
        for (int i = 0; i < target; ++i)
            QTest::keyClick(c, Qt::Key_Down);
        QCOMPARE(c->currentData().toString(), code);
        enter();
    }
    // Types a cell of the goods items: as a container cell; an empty text keeps the cell.
    void typeItem(const QString &text)
    {
        GoodsItemsGrid *items = screen->itemsGrid();
        if (text.isEmpty())
            QTest::keyClick(items, Qt::Key_Return);
        else
            QTest::keyClicks(items, text.left(1));
        QCOMPARE(focus(), static_cast<QWidget *>(items->editor()));
        QTest::keyClicks(items->editor(), text.mid(1));
        QTest::keyClick(items->editor(), Qt::Key_Return);
    }
    // Types into the focused field, Enter, and expects the cursor held with the reason.
    void refused(const QString &text, const QString &why)
    {
        QWidget *at = focus();
        type(text);
        QCOMPARE(focus(), at);
        QCOMPARE(screen->statusText(), why);
        qobject_cast<QLineEdit *>(at)->clear();
    }
    // Passes over a grid cell as it is: Enter opens its edit box, Enter again moves on.
    void passCell()
    {
        QTest::keyClick(grid(), Qt::Key_Return);
        QCOMPARE(focus(), static_cast<QWidget *>(editor()));
        QTest::keyClick(editor(), Qt::Key_Return);
    }
    // Types a cell in the grid: the first character opens the edit box, Enter stores.
    void typeCell(const QString &text)
    {
        QTest::keyClicks(grid(), text.left(1));
        QCOMPARE(focus(), static_cast<QWidget *>(editor()));
        QTest::keyClicks(editor(), text.mid(1));
        QTest::keyClick(editor(), Qt::Key_Return);
    }
};

void seedBill(const Database &db, const QString &blno, int containers, const QString &move = QStringLiteral("LC"))
{
    BillOfLading bol = cargotest::sampleBill(blno);
    bol.set(QStringLiteral("cargomove"), move);
    for (int i = 0; i < containers; ++i)
        bol.containers << cargotest::sampleContainer(i + 1);
    QVERIFY(saveBillOfLading(db, bol));
}

} // namespace

class TestCargoScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // While a container number is typed the status line says what is wrong with it, and
    // goes back when the number is right; nothing is refused for it.
    void containerNumberHint()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        seedBill(t.db(), QStringLiteral("ABC1"), 1);
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        const QString before = x.screen->statusText();
        x.grid()->setFocus();
        x.grid()->setCurrentCell(1, 1);
        QTest::keyClicks(x.grid(), QStringLiteral("M"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Container No.: Container number M is not four capital letters and seven digits."));
        QTest::keyClicks(x.editor(), QStringLiteral("SKU1234566"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Container No.: Container number MSKU1234566: check digit should be 5, not 6."));
        QTest::keyClick(x.editor(), Qt::Key_Backspace);
        QTest::keyClicks(x.editor(), QStringLiteral("5"));
        QCOMPARE(x.screen->statusText(), before);
        QTest::keyClick(x.editor(), Qt::Key_Backspace);
        QTest::keyClicks(x.editor(), QStringLiteral("6"));
        QTest::keyClick(x.editor(), Qt::Key_Return); // kept as typed: a hint only
        QCOMPARE(x.cell(1, 1), QStringLiteral("MSKU1234566"));
        QCOMPARE(x.screen->statusText(), before);
        QCOMPARE(prompter.messages(), QStringList());
    }

    // A bill of lading with three containers keyed in with the keyboard alone, the field
    // rules met on the way, then edited, carried and refused by the unique index.
    void keyedWithTheKeyboard_data() { test::addEngineRows(); }
    void keyedWithTheKeyboard()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QCOMPARE(x.grid()->rowCount(), 75);
        QCOMPARE(x.f(1)->text(), QString());

        QTest::keyClick(x.focus(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(1)));
        QCOMPARE(x.grid()->rowCount(), 0);
        x.enter(); // mandatory: stays
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(1)));
        x.type(QStringLiteral("VSL1"));
        x.type(QStringLiteral("V1"));
        QTest::keyClicks(x.focus(), QStringLiteral("bl-0 1/A"));
        QCOMPARE(x.f(15)->text(), QStringLiteral("BL01A"));
        x.f(15)->insert(QStringLiteral("-x 7")); // pasted
        QCOMPARE(x.f(15)->text(), QStringLiteral("BL01AX7"));
        x.f(15)->clear();
        x.type(QStringLiteral("BL001"));
        x.type(QDate::currentDate().addDays(1).toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(16))); // tomorrow refused
        x.f(16)->setText(QStringLiteral("31/02/2026"));
        x.enter();
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(16)));
        x.f(16)->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        x.enter();

        QCOMPARE(x.focus(), static_cast<QWidget *>(x.combo("cmbLoadPort")));
        x.enter(); // an empty look-up keeps the focus, and the status line says why
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.combo("cmbLoadPort")));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Load Port is required"));
        QVERIFY(x.combo("cmbLoadPort")->property("mandatory").toBool());
        // the port found by its code typed in full, or by its name as before
        QComboBox *port = x.combo("cmbLoadPort");
        QTest::keyClicks(port, QStringLiteral("sgsin"));
        QCOMPARE(port->currentData().toString(), QStringLiteral("SGSIN"));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(port, QStringLiteral("INNSA1"));
        QCOMPARE(port->currentData().toString(), QStringLiteral("INNSA1"));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(port, QStringLiteral("Singapore C"));
        QCOMPARE(port->currentData().toString(), QStringLiteral("SGSCT"));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        x.choose(QStringLiteral("AEAUH"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Add record")); // no longer true, gone
        QCOMPARE(x.f(2)->text(), QStringLiteral("AEAUH"));
        x.choose(QStringLiteral("TI"));
        QCOMPARE(x.f(14)->text(), QStringLiteral("TI")); // the code, not the description
        x.choose(QStringLiteral("C"));
        for (const char *text : {"Importer & Sons", "1 Quay Road", "Fort", "Mumbai"})
            x.type(QLatin1String(text));
        for (int i = 0; i < 4; ++i)
            x.enter(); // notify party: optional
        // the movement "TI" shows the destination port
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(5)));
        QVERIFY(x.f(5)->isVisible());
        x.type(QStringLiteral("INNSA1"));
        x.choose(QStringLiteral("GC"));
        x.type(QStringLiteral("0"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(22))); // packages 0 refused
        x.f(22)->clear();
        x.type(QStringLiteral("1x2"));
        QCOMPARE(x.f(22)->text(), QStringLiteral("12"));
        x.choose(QStringLiteral("PKG"));
        x.type(QStringLiteral("1,234.5"));
        QCOMPARE(x.f(24)->text(), QStringLiteral("1234.5"));
        x.choose(QStringLiteral("KGS"));
        // nature "C": volume and unit are skipped
        QVERIFY(!x.f(101)->isEnabled());
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(4)));
        x.type(QStringLiteral("9999"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(4))); // unknown UNO
        x.f(4)->setText(QStringLiteral("ZZZZZ"));
        x.enter();
        x.type(QStringLiteral("ZZZ"));
        x.type(QStringLiteral("42"));   // TP bond
        x.type(QStringLiteral("CAC1")); // carrier
        x.type(QStringLiteral("t"));
        QCOMPARE(prompter.messages().last(), QStringLiteral("T - Train / R - Road / S - Ship are valid options"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(110)));
        x.f(110)->setText(QStringLiteral("R"));
        x.enter();
        x.type(QStringLiteral("MLO1"));
        x.type(QStringLiteral("NO MARKS"));
        x.type(QStringLiteral("Machine parts"));

        // the grid: 35 rows on the first focus, row 1 "Container No."
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.grid()));
        QCOMPARE(x.grid()->rowCount(), 35);
        QCOMPARE(x.grid()->currentRow(), 0);
        QCOMPARE(x.grid()->currentColumn(), 1);
        for (const char *text : {"MSCU1234567", "SEAL1", "AG01", "FCL", "5", "10", "22G1", "N"})
            x.typeCell(QLatin1String(text));
        // Enter goes on through seal and equipment type, then to the next container
        QCOMPARE(x.grid()->currentColumn(), int(CargoRules::ColSealType));
        x.passCell();
        QCOMPARE(x.grid()->currentColumn(), int(CargoRules::ColEqType));
        x.passCell();
        QCOMPARE(x.grid()->currentRow(), 1);
        QCOMPARE(x.grid()->currentColumn(), 1);
        x.typeCell(QStringLiteral("MSCU765"));
        QCOMPARE(x.grid()->currentColumn(), 1); // 7 characters: refused, the selection stays
        QCOMPARE(x.screen->statusText(), QStringLiteral("Container No. needs 10 or 11 characters"));
        x.typeCell(QStringLiteral("MSCU7654321"));
        x.typeCell(QStringLiteral("SEAL2"));
        QCOMPARE(x.cell(1, 3), QStringLiteral("AG01")); // copied from the row above
        x.typeCell(QStringLiteral("AG02"));
        QCOMPARE(x.cell(1, 4), QStringLiteral("FCL"));
        x.typeCell(QStringLiteral("XXX"));
        QCOMPARE(x.grid()->currentColumn(), 4); // unknown status
        QCOMPARE(x.screen->statusText(), QStringLiteral("Status must be a code of the container status list"));
        x.typeCell(QStringLiteral("LCL"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Add record"));
        x.typeCell(QStringLiteral("3"));
        x.typeCell(QStringLiteral("99.5"));
        QCOMPARE(x.grid()->currentColumn(), 6);
        x.typeCell(QStringLiteral("2G1")); // an ISO code in the wrong column is no weight
        QCOMPARE(x.grid()->currentColumn(), 6);
        QCOMPARE(x.screen->statusText(), QStringLiteral("Weight is a number of tonnes, at most 99"));
        x.typeCell(QStringLiteral("99"));
        QCOMPARE(x.cell(1, 7), QStringLiteral("22G1"));
        QTest::keyClick(x.grid(), Qt::Key_Return); // opens with the cell's value
        QCOMPARE(x.editor()->text(), QStringLiteral("22G1"));
        QTest::keyClick(x.editor(), Qt::Key_Return);
        x.typeCell(QStringLiteral("Y"));
        x.passCell();
        x.passCell();
        for (const char *text : {"TCLU1112223", "SEAL3", "AG03", "MTY", "0", "2.5", "45G1", "N"})
            x.typeCell(QLatin1String(text));

        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages().size(), 1);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 1);
        auto q = t.db().query(QStringLiteral("select id, blno, portload, cargomove, naturecargo, itemtype, pkgtype, unitwt, "
                                             "portdest, impname, pkgs, grosswt, trmode, bldt from cargo"));
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), 1);
        const QStringList expected = {QStringLiteral("1"), QStringLiteral("BL001"), QStringLiteral("AEAUH"), QStringLiteral("TI"),
                                      QStringLiteral("C"), QStringLiteral("GC"), QStringLiteral("PKG"), QStringLiteral("KGS"),
                                      QStringLiteral("INNSA1"), QStringLiteral("Importer & Sons"), QStringLiteral("12"),
                                      QStringLiteral("1234.5"), QStringLiteral("R")};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(q->value(i).toString().trimmed(), expected.at(i));
        QCOMPARE(t.db().scalar(QStringLiteral("select marks from cargo"))->toString(), QStringLiteral("NO MARKS"));
        auto stored = loadContainers(t.db(), 1);
        QCOMPARE(stored->size(), 3);
        QCOMPARE(stored->at(1).containno, QStringLiteral("MSCU7654321"));
        QCOMPARE(stored->at(1).agentcode, QStringLiteral("AG02"));
        QCOMPARE(stored->at(1).weight, QStringLiteral("99"));
        QCOMPARE(stored->at(1).socflag, QStringLiteral("Y"));
        QCOMPARE(stored->at(2).isocode, QStringLiteral("45G1"));
        QCOMPARE(x.cell(2, 1), QStringLiteral("TCLU1112223")); // shown again from the database
        QCOMPARE(x.cell(0, 9), QString::number(stored->at(0).autoid));

        // Edit a stored container's seal: same autoid
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        x.grid()->setFocus();
        x.grid()->setCurrentCell(0, 2);
        x.typeCell(QStringLiteral("NEWSEAL"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        auto edited = loadContainers(t.db(), 1);
        QCOMPARE(edited->size(), 3);
        QCOMPARE(edited->at(0).autoid, stored->at(0).autoid);
        QCOMPARE(edited->at(0).sealno, QStringLiteral("NEWSEAL"));

        // Carry, then the same B/L number: refused at commit, everything typed kept
        x.screen->carryRecord();
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(1)));
        QCOMPARE(x.f(1)->text(), QStringLiteral("VSL1"));
        QCOMPARE(x.f(15)->text(), QString());
        QCOMPARE(x.f(5)->text(), QStringLiteral("INNSA1"));
        QCOMPARE(x.f(110)->text(), QString()); // transport mode not carried
        QCOMPARE(x.combo("cmbItemType")->currentData().toString(), QStringLiteral("GC"));
        QCOMPARE(x.grid()->rowCount(), 0);
        x.f(15)->setText(QStringLiteral("BL001"));
        x.grid()->setFocus();
        x.typeCell(QStringLiteral("OOLU9990001"));
        for (const char *text : {"S9", "AG9", "FCL", "1", "1", "22G1", "N"})
            x.typeCell(QLatin1String(text));
        prompter.clear();
        x.screen->updateRecord();
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("B/L No. BL001 is already line 1 of VSL1 / V1")});
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.f(15)->text(), QStringLiteral("BL001"));
        QCOMPARE(x.cell(0, 1), QStringLiteral("OOLU9990001"));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 1);
        QCOMPARE(countRows(t.db(), QStringLiteral("contain")), 3);
        x.f(15)->setText(QStringLiteral("BL002"));
        x.screen->updateRecord();
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        // a key taken by the refused save may stay unused, never taken twice
        const int second = t.db().scalar(QStringLiteral("select id from cargo where blno = 'BL002'"))->toInt();
        QVERIFY(second == 2 || (second == 3 && engine == QLatin1String("postgres")));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where ref = ?"), {second})->toInt(), 1);
        QCOMPARE(x.f(15)->text(), QStringLiteral("BL002"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Record: 2"));

        // Carry then Cancel: back on the carried bill of lading, unchanged
        x.screen->carryRecord();
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(x.f(15)->text(), QStringLiteral("BL002"));
        QCOMPARE(x.cell(0, 1), QStringLiteral("OOLU9990001"));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 2);
    }

    // Browsing, search, the switches in edit mode, the grid closed for other natures,
    // save messages with nothing written, container-row delete and delete.
    // The second page by keyboard alone: its Alt key, the rules of its fields as they are
    // left, two goods items, the seal and equipment types at the right end of the
    // container grid; all stored with the one save, shown again, carried to the next bill.
    void partiesAndGoods_data() { test::addEngineRows(); }
    void partiesAndGoods()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        seedBill(t.db(), QStringLiteral("ABC1"), 2);
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QTabWidget *pages = x.screen->pages();
        QCOMPARE(pages->currentIndex(), 0);
        QTest::keyClick(x.focus(), Qt::Key_P, Qt::AltModifier); // browsing: the page can be looked at
        QCOMPARE(pages->currentIndex(), 1);
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(pages->currentIndex(), 1); // Edit stays on the page being read
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.screen->filingCombo(QStringLiteral("cmbCargoType"))));
        QTest::keyClick(x.focus(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(pages->currentIndex(), 0);
        x.f(1)->setFocus();
        x.f(1)->clear();
        QTest::keyClick(x.focus(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(pages->currentIndex(), 0); // a mandatory field left empty holds the cursor
        QCOMPARE(x.screen->statusText(), QStringLiteral("Vessel Code is required"));
        QTest::keyClicks(x.f(1), QStringLiteral("VSL1"));
        QTest::keyClick(x.focus(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(pages->currentIndex(), 1);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.screen->filingCombo(QStringLiteral("cmbCargoType"))));
        QCOMPARE(x.screen->filingCombo(QStringLiteral("cmbCargoType"))->placeholderText(), QStringLiteral("IM when empty"));

        x.choose(QStringLiteral("IM"));
        x.choose(QStringLiteral("S"));
        x.enter(); // previous declaration: left empty
        x.refused(QStringLiteral("ZZ999"), QStringLiteral("Next Unlading Port: ZZ999 is not in the port list"));
        x.type(QStringLiteral("innsa1"));
        QCOMPARE(x.f(203)->text(), QStringLiteral("INNSA1"));
        for (const char *text : {"EXAMPLE EXPORT CO LTD", "1 SAMPLE ROAD", "SHANGHAI"})
            x.type(QLatin1String(text));
        x.refused(QStringLiteral("XQ"), QStringLiteral("Shipper Country: XQ is not in the country list"));
        x.type(QStringLiteral("cn"));
        x.type(QStringLiteral("PLOT 5 TEST ESTATE"));
        x.type(QStringLiteral("MUMBAI"));
        x.refused(QStringLiteral("99"), QStringLiteral("Consignee State: 99 is not an Indian state code (01 to 38)"));
        x.type(QStringLiteral("27"));
        QCOMPARE(x.f(223)->text(), QStringLiteral("MAHARASHTRA"));
        x.refused(QStringLiteral("4000"), QStringLiteral("Consignee PIN: a PIN is 6 digits"));
        x.type(QStringLiteral("400001"));
        x.type(QStringLiteral("IN"));
        x.choose(QStringLiteral("IEC"));
        x.refused(QStringLiteral("01234"), QStringLiteral("Consignee Code: an IEC is 10 letters or digits"));
        x.type(QStringLiteral("0123456789"));
        x.enter(); // the notify party's code type: left empty, a PAN is taken
        x.refused(QStringLiteral("0123456789"), QStringLiteral("Notify PAN / Code: a PAN is five letters, four digits and a letter (AAAAA9999A)"));
        x.type(QStringLiteral("aabce9876l"));
        for (const char *text : {"MUMBAI", "IN", "400001"})
            x.type(QLatin1String(text));

        // the goods items: Enter stores and moves right, a refused cell keeps the selection
        GoodsItemsGrid *items = x.screen->itemsGrid();
        QCOMPARE(x.focus(), static_cast<QWidget *>(items));
        QCOMPARE(items->currentRow(), 0);
        QCOMPARE(items->currentColumn(), 0);
        for (const char *text : {"848180", "BALL VALVES", "ZZZZZ", "ZZZ", "600", "pkg"})
            x.typeItem(QLatin1String(text));
        QCOMPARE(items->currentRow(), 1);
        x.typeItem(QStringLiteral("8481"));
        QCOMPARE(items->currentColumn(), 0);
        QCOMPARE(x.screen->statusText(), QStringLiteral("an HS code is 6 or 8 digits"));
        for (const char *text : {"84818090", "GATE VALVES", "", "", "400"})
            x.typeItem(QLatin1String(text));
        QCOMPARE(items->cell(1, GoodsItems::ColPkgType), QStringLiteral("PKG")); // from the row above

        // seal and equipment type at the right end of the container grid, after SOCFlag
        QTest::keyClick(x.focus(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(pages->currentIndex(), 0);
        x.grid()->setFocus();
        x.grid()->setCurrentCell(0, CargoRules::ColSocFlag);
        QTest::keyClick(x.grid(), Qt::Key_Right);
        QCOMPARE(x.grid()->currentColumn(), int(CargoRules::ColSealType));
        x.typeCell(QStringLiteral("BTSL"));
        x.typeCell(QStringLiteral("XX"));
        QCOMPARE(x.grid()->currentColumn(), int(CargoRules::ColEqType));
        x.typeCell(QStringLiteral("CN"));
        QCOMPARE(x.grid()->currentRow(), 1);
        QCOMPARE(x.grid()->currentColumn(), int(CargoRules::ColContainerNo));
        x.grid()->setCurrentCell(1, CargoRules::ColSocFlag);
        x.typeCell(QStringLiteral("N"));
        QCOMPARE(x.cell(1, CargoRules::ColSealType), QStringLiteral("BTSL"));
        QCOMPARE(x.grid()->currentColumn(), int(CargoRules::ColSealType));
        x.passCell();
        x.passCell();
        QCOMPARE(x.grid()->currentRow(), 2);

        // a field of the second page never visited is held to its rule at save
        x.f(234)->setText(QStringLiteral("12"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(pages->currentIndex(), 1);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(234)));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Notify PIN: a PIN is 6 digits"));
        x.f(234)->setText(QStringLiteral("400001"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(prompter.messages(), QStringList());

        auto q = t.db().query(QStringLiteral("select cargotype, consind, prevdec, nextunload, shpname, shpcity, shpcntry, "
                                             "cnsstate, cnsstatenm, cnspin, cnscntry, cnscode, cnscodetype, notpan, "
                                             "notcodetype, notpin from cargo"));
        QVERIFY(q && q->next());
        const QStringList expected = {"IM", "S", "", "INNSA1", "EXAMPLE EXPORT CO LTD", "SHANGHAI", "CN", "27",
                                      "MAHARASHTRA", "400001", "IN", "0123456789", "IEC", "AABCE9876L", "", "400001"};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(q->value(i).toString().trimmed(), expected.at(i));
        auto stored = GoodsItems::load(t.db(), 1);
        QCOMPARE(stored->size(), 2);
        QCOMPARE(stored->at(0).pkgtype, QStringLiteral("PKG"));
        QCOMPARE(stored->at(1).hscode, QStringLiteral("84818090"));
        auto boxes = loadContainers(t.db(), 1);
        QCOMPARE(boxes->at(0).sealtype + boxes->at(0).eqtype, QStringLiteral("BTSLCN"));
        QCOMPARE(boxes->at(1).sealtype + boxes->at(1).eqtype, QStringLiteral("BTSLCN")); // copied down

        // shown again from the database, and carried to the next bill of lading without its goods
        x.screen->refreshRecords();
        QCOMPARE(items->items().size(), 2);
        QCOMPARE(x.screen->filingCombo(QStringLiteral("cmbCnsCodeType"))->code(), QStringLiteral("IEC"));
        x.screen->carryRecord();
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(pages->currentIndex(), 0);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(1)));
        QTest::keyClick(x.focus(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.screen->filingCombo(QStringLiteral("cmbCargoType"))));
        QCOMPARE(x.grid()->rowCount(), 0); // the focus went to the page, not by the way through the grid
        for (int index : {210, 212, 213, 220, 221, 222, 223, 224, 225, 227})
            QVERIFY2(!x.f(index)->text().isEmpty(), qPrintable(QString::number(index)));
        QCOMPARE(x.f(227)->text(), QStringLiteral("0123456789"));
        QCOMPARE(x.screen->filingCombo(QStringLiteral("cmbCnsCodeType"))->code(), QStringLiteral("IEC"));
        QCOMPARE(items->items().size(), 0);
        x.screen->cancelRecord();
        QCOMPARE(GoodsItems::load(t.db(), 1)->size(), 2);
    }

    // A company database not yet upgraded to 2.2.0 shows the screen of the flat file alone
    // and saves as before.
    void beforeTheUpgrade()
    {
        QUARL_TEMP_DB(t, QStringLiteral("sqlite"));
        Schema::CompanyOptions release210;
        release210.release210 = true;
        QVERIFY(Schema::createCompanyDatabase(t.db(), release210).isOk());
        seedBill(t.db(), QStringLiteral("ABC1"), 1);
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QVERIFY(!x.screen->pages()->isTabEnabled(1));
        QVERIFY(x.grid()->isColumnHidden(CargoRules::ColSealType));
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(x.focus(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(x.screen->pages()->currentIndex(), 0);
        x.f(6)->setText(QStringLiteral("Renamed"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(t.db().scalar(QStringLiteral("select impname from cargo"))->toString(), QStringLiteral("Renamed"));
        QCOMPARE(loadContainers(t.db(), 1)->size(), 1);
    }

    void browseEditAndDelete_data() { test::addEngineRows(); }
    void browseEditAndDelete()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        seedBill(t.db(), QStringLiteral("ABC1"), 3);
        seedBill(t.db(), QStringLiteral("XYZ1"), 80);
        seedBill(t.db(), QStringLiteral("ABC2"), 2, QStringLiteral("TI"));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QCOMPARE(x.f(15)->text(), QStringLiteral("ABC2")); // the last row
        QVERIFY(!x.f(5)->isVisible()); // hidden on every change of mode, also on a transhipment
        QTest::keyClick(x.focus(), Qt::Key_Up);
        QCOMPARE(x.grid()->rowCount(), 86);
        QCOMPARE(x.cell(79, 1), cargotest::sampleContainer(80).containno);

        // search: first match in id order, Yes goes on, then "Could not find b\L"
        prompter.answerInput(QStringLiteral("ABC"));
        prompter.answerYes();
        prompter.answerYes();
        x.screen->searchRecords();
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("Could not find b\\L")});
        QCOMPARE(x.f(15)->text(), QStringLiteral("ABC2"));
        QTest::keyClick(x.focus(), Qt::Key_Home);
        QCOMPARE(x.grid()->rowCount(), 75);

        // in browse mode no rule runs and the combos are locked
        x.f(22)->setFocus();
        x.enter();
        QVERIFY(x.focus() != x.f(22));
        QTest::keyClick(x.focus(), Qt::Key_F7); // nothing while browsing
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != QLatin1String("frmVslMast"));
        QVERIFY(prompter.messages().size() == 1);

        // edit: movement LC -> leaving a field empties and disables the transhipment fields
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        x.f(110)->setText(QStringLiteral("T"));
        x.enter();
        QVERIFY(!x.f(110)->isEnabled());
        QCOMPARE(x.f(110)->text(), QString());
        QVERIFY(!x.f(5)->isVisible());
        // nature "P": volume open, the grid takes no typing
        x.screen->combo(QStringLiteral("cmbNatCargo"))->setCurrentIndex(x.combo("cmbNatCargo")->findData(QStringLiteral("P")));
        x.f(1)->setFocus();
        x.enter();
        QVERIFY(x.f(101)->isEnabled());
        QVERIFY(!x.screen->gridAcceptsEdits());
        x.combo("cmbNatCargo")->setCurrentIndex(x.combo("cmbNatCargo")->findData(QStringLiteral("C")));
        x.f(1)->setFocus();
        x.enter();
        QVERIFY(x.screen->gridAcceptsEdits());

        // a save rule in row 3 writes nothing and keeps edit mode
        x.grid()->setFocus();
        x.grid()->setCurrentCell(2, 5);
        x.typeCell(QStringLiteral("7"));
        x.grid()->setCurrentCell(2, 8);
        x.typeCell(QStringLiteral("Y"));
        x.grid()->setCurrentCell(0, 1);
        x.typeCell(QStringLiteral("ABCD12345678")); // refused as a cell, kept, refused by the save
        prompter.clear();
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("Check Container No. Value")});
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where socflag = 'Y'"))->toInt(), 0);

        // delete a stored container row: with the save, in one transaction, so refused too
        const qint64 second = x.cell(1, 9).toLongLong();
        x.grid()->setCurrentCell(1, 1);
        prompter.answerYes();
        x.screen->deleteContainerRow();
        QCOMPARE(prompter.messages().last(), QStringLiteral("Check Container No. Value"));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where autoid = ?"), {second})->toInt(), 1);
        x.grid()->setCurrentCell(0, 1);
        x.typeCell(QStringLiteral("ABCD1234567"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where ref = 1"))->toInt(), 2);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where autoid = ?"), {second})->toInt(), 0);

        // Delete beside the grid removes only the container: a row typed but never stored
        // leaves the grid, a stored one goes with the next save; the rest stays as typed
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        x.f(6)->setText(QStringLiteral("Changed"));
        x.grid()->setFocus();
        x.grid()->setCurrentCell(2, 1);
        x.typeCell(QStringLiteral("NEWU0000001"));
        for (int row : {2, 0}) {
            x.grid()->setCurrentCell(row, 1);
            prompter.answerYes();
            QTest::keyClick(x.focus(), Qt::Key_D, Qt::AltModifier);
        }
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(x.f(6)->text(), QStringLiteral("Changed"));
        QCOMPARE(x.cell(0, 1), QStringLiteral("MSCU0000003"));
        QCOMPARE(x.cell(1, 1), QString());
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where ref = 1"))->toInt(), 2);
        x.f(1)->setFocus();
        QTest::keyClick(x.focus(), Qt::Key_Escape); // Cancel: nothing went, the grid shows both again
        QCOMPARE(x.f(6)->text(), QStringLiteral("Importer"));
        QCOMPARE(x.cell(1, 1), QStringLiteral("MSCU0000003"));
        // in a new bill of lading the row just leaves the grid
        x.screen->carryRecord();
        x.grid()->setFocus();
        for (const char *number : {"MSCU0000091", "MSCU0000092"}) {
            x.grid()->setCurrentCell(number[10] == '1' ? 0 : 1, 1);
            x.typeCell(QLatin1String(number));
        }
        x.grid()->setCurrentCell(0, 1);
        prompter.answerYes();
        QTest::keyClick(x.focus(), Qt::Key_D, Qt::AltModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.cell(0, 1), QStringLiteral("MSCU0000092"));
        QCOMPARE(x.f(6)->text(), QStringLiteral("Importer"));
        // Escape on a B/L with something typed asks first: No keeps it, Yes discards it
        x.f(1)->setFocus();
        prompter.answerNo();
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QCOMPARE(prompter.events().last().text, QStringLiteral("Discard the B/L being added?"));
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.cell(0, 1), QStringLiteral("MSCU0000092"));
        prompter.answerYes();
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 3);
        // as Carry brought it, untouched: Escape cancels at once
        const qsizetype asked = prompter.events().size();
        x.screen->carryRecord();
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(prompter.events().size(), asked);

        // Carry by its Alt key, Ctrl+E from the container grid of a browsed B/L
        QTest::keyClick(x.focus(), Qt::Key_Y, Qt::AltModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        x.grid()->setFocus();
        QTest::keyClick(x.grid(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);

        // delete the bill of lading, named in the question: its containers go, the next one shows
        prompter.answerYes();
        x.screen->deleteRecord();
        QCOMPARE(prompter.events().last().text, QStringLiteral("Confirm Deletion ?\n\nB/L No. ABC1 of VSL1 / V1"));
        QCOMPARE(x.f(15)->text(), QStringLiteral("XYZ1"));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 2);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where ref = 1"))->toInt(), 0);
        QTest::keyClick(x.focus(), Qt::Key_End);
        prompter.answerYes();
        x.screen->deleteRecord();
        QCOMPARE(x.f(15)->text(), QStringLiteral("XYZ1")); // the new last one

        // F7 while editing opens the voyage screen by its name, the bill of lading stays open
        ScopedScreenFactory voyage(QStringLiteral("frmVslMast"), [] { return new QWidget; });
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(x.focus(), Qt::Key_F7);
        QWidget *opened = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            opened = w->objectName() == QLatin1String("frmVslMast") && w->isVisible() ? w : opened;
        QVERIFY(opened);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        delete opened;

        // closing with the pending edit saves it through the same routine, containers included
        x.f(6)->setText(QStringLiteral("Closed"));
        prompter.answerYes();
        QVERIFY(x.screen->close());
        QCOMPARE(t.db().scalar(QStringLiteral("select impname from cargo where id = 2"))->toString(), QStringLiteral("Closed"));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where ref = 2"))->toInt(), 80);
    }

    // A clerk's bill of lading by keyboard alone, where keys used to lose typing: small
    // letters, refused characters, Shift+Tab from an empty field, Escape and Enter in an
    // open list, a blank in a list's search, Carry into Marks, a B/L number taken, closing
    // with Yes. Nothing typed is lost without a word, and the line goes to the voyage's
    // port of arrival.
    void clerksBillOfLading_data() { test::addEngineRows(); }
    void clerksBillOfLading()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        test::TempHome home;
        Settings::setCustomHouseCode(QStringLiteral("INNSA1"));
        // the voyage arrives at Mundra, keyed on its header; the office sits at Nhava Sheva
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, portarrival, arrportcd) "
                                           "values ('VSL1', 'V1', 'INIXY1', 'INMUN1')")).isOk());
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QTest::keyClick(x.focus(), Qt::Key_A, Qt::ControlModifier);
        x.type(QStringLiteral("vsl1"));
        QCOMPARE(x.f(1)->text(), QStringLiteral("VSL1"));
        x.type(QStringLiteral("v1"));
        QCOMPARE(x.f(11)->text(), QStringLiteral("V1"));
        QTest::keyClicks(x.focus(), QStringLiteral("mscu-112/001"));
        QCOMPARE(x.f(15)->text(), QStringLiteral("MSCU112001"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("B/L No. takes capital letters and digits only: \"/\" is refused"));
        x.enter();
        // B/L Date empty: going back is allowed, going on is not
        QTest::keyClick(x.focus(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(15)));
        x.enter();
        x.enter();
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(16)));
        x.type(QDate::currentDate().addDays(1).toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(x.screen->statusText(), QStringLiteral("B/L Date may not be after today"));
        x.f(16)->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        x.enter();
        x.choose(QStringLiteral("SGSIN"));

        // Cargo Move: Escape closes the open list only, Enter chooses in it
        QComboBox *move = x.combo("cmbCargoMove");
        QCOMPARE(x.focus(), static_cast<QWidget *>(move));
        QTest::keyClick(move, Qt::Key_F4);
        QVERIFY(move->view()->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!move->view()->isVisible());
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.f(15)->text(), QStringLiteral("MSCU112001"));
        QTest::keyClicks(move, QStringLiteral("Transhipment to I")); // the blank searches on
        QVERIFY(!move->view()->isVisible());
        QCOMPARE(move->currentData().toString(), QStringLiteral("TI"));
        QTest::keyClick(move, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(move->view()->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!move->view()->isVisible());
        QCOMPARE(move->currentData().toString(), QStringLiteral("LC"));
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        x.enter();
        x.choose(QStringLiteral("C"));
        for (const char *text : {"Importer", "1 Quay Road", "Fort", "Mumbai"})
            x.type(QLatin1String(text));
        for (int i = 0; i < 4; ++i)
            x.enter();
        x.choose(QStringLiteral("GC"));
        x.type(QStringLiteral("0"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(22)));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Pkgs. may not be 0"));
        x.f(22)->setText(QStringLiteral("10"));
        x.enter();
        x.choose(QStringLiteral("PKG"));
        x.type(QStringLiteral("1234.5"));
        x.choose(QStringLiteral("KGS"));
        x.type(QStringLiteral("ZZZZZ"));
        x.type(QStringLiteral("ZZZ"));
        x.type(QStringLiteral("NO MARKS"));
        x.type(QStringLiteral("MACHINE PARTS"));
        for (const char *text : {"MSCU1234567", "SEAL1", "AG01", "FCL", "10", "12.5", "22G1", "N"})
            x.typeCell(QLatin1String(text));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(t.db().scalar(QStringLiteral("select portdest from cargo where blno = 'MSCU112001'"))->toString(),
                 QStringLiteral("INMUN1"));

        // Carry: Marks reached by Enter takes what is typed in place of the carried text
        x.screen->carryRecord();
        x.f(25)->setFocus();
        x.enter();
        auto *marks = x.screen->findChild<QPlainTextEdit *>(QStringLiteral("txtMarks"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(marks));
        QTest::keyClicks(marks, QStringLiteral("NEW MARKS"));
        QCOMPARE(marks->toPlainText(), QStringLiteral("NEW MARKS"));
        // the same B/L number is named with its line before anything is written
        x.f(15)->setText(QStringLiteral("MSCU112001"));
        prompter.clear();
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("B/L No. MSCU112001 is already line 1 of VSL1 / V1")});
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(15)));
        // closing with Yes holds the row to Update's rules: refused with the reason, kept open
        x.f(15)->setText(QStringLiteral("MSCU112002"));
        x.f(22)->setText(QStringLiteral("0"));
        prompter.answerYes();
        QVERIFY(!x.screen->close());
        QCOMPARE(x.screen->statusText(), QStringLiteral("Pkgs. may not be 0"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(22)));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 1);
        x.f(22)->setText(QStringLiteral("5"));
        prompter.answerYes();
        QVERIFY(x.screen->close());
        QCOMPARE(t.db().scalar(QStringLiteral("select marks from cargo where blno = 'MSCU112002'"))->toString(),
                 QStringLiteral("NEW MARKS"));
    }

    // A transhipment line while browsing and editing: weights with three decimals, the
    // destination port hidden on the change of mode and checked against the port list,
    // a field too short for what is typed says so.
    void transhipmentFields()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        seedBill(t.db(), QStringLiteral("TI1"), 1, QStringLiteral("TI"));
        QVERIFY(t.db().exec(QStringLiteral("update cargo set portdest = 'INMAA1', volume = 0")).isOk());
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QVERIFY(!x.f(5)->isVisible());
        QCOMPARE(x.f(24)->text(), QStringLiteral("1234.500"));
        QTest::keyClick(x.focus(), Qt::Key_E, Qt::ControlModifier);
        x.f(4)->setFocus();
        x.enter(); // the switches show the destination of a transhipment
        QVERIFY(x.f(5)->isVisible());
        x.f(5)->setFocus();
        x.f(5)->selectAll();
        QTest::keyClicks(x.f(5), QStringLiteral("o"));
        x.enter();
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.f(5)));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Dest. Port is not a code of the port list"));
        x.f(5)->selectAll();
        QTest::keyClicks(x.f(5), QStringLiteral("inmaa1"));
        x.enter();
        QVERIFY(x.focus() != x.f(5));
        x.f(108)->setFocus();
        x.f(108)->clear();
        QTest::keyClicks(x.f(108), QStringLiteral("1234567890"));
        QCOMPARE(x.f(108)->text(), QStringLiteral("12345678"));
        QCOMPARE(x.screen->statusText(), QStringLiteral("TP Bond No. takes at most 8 characters"));
        QCOMPARE(prompter.messages(), QStringList());
    }

    // In browse and add mode every shown control lies inside the screen and on no other one.
    // With QUARL_SCREENSHOT_DIR set, the screen is saved there as cargo.png.
    void orderlyWithDemoData()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        seedBill(t.db(), QStringLiteral("MAEU240117"), 3, QStringLiteral("TI"));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->resize(1060, 760);
        // browsing, adding (Carry), and the second page while adding
        for (int pass = 0; pass < 3; ++pass) {
            if (pass == 2)
                QTest::keyClick(x.focus(), Qt::Key_P, Qt::AltModifier);
            QCoreApplication::processEvents();
            QList<QRect> taken;
            for (QWidget *w : x.screen->findChildren<QWidget *>()) {
                if (!w->isVisible() || !(qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                                         || qobject_cast<QPushButton *>(w) || qobject_cast<QLabel *>(w)
                                         || qobject_cast<QTableWidget *>(w))
                    || (w->parentWidget() != x.screen.get() && w->parentWidget()->objectName() != QLatin1String("fieldArea")
                        && w->parentWidget()->objectName() != QLatin1String("pageParties")))
                    continue;
                const QRect r(w->mapTo(x.screen.get(), QPoint(0, 0)), w->size());
                QVERIFY2(x.screen->rect().contains(r), qPrintable(w->objectName() + QStringLiteral(" outside")));
                for (const QRect &o : std::as_const(taken))
                    QVERIFY2(!r.intersects(o), qPrintable(w->objectName() + QStringLiteral(" overlaps")));
                taken << r;
            }
            if (const QString dir = qEnvironmentVariable("QUARL_SCREENSHOT_DIR"); !dir.isEmpty())
                x.screen->grab().save(dir + (pass == 0   ? QStringLiteral("/cargo.png")
                                             : pass == 1 ? QStringLiteral("/cargo-add.png")
                                                         : QStringLiteral("/cargo-parties.png")));
            if (pass == 0)
                x.screen->carryRecord();
        }
    }

    void openedFromTheMenuByName()
    {
        QVERIFY(hasScreen(QStringLiteral("frmCargo")));
        std::unique_ptr<QWidget> w(createScreen(QStringLiteral("frmCargo")));
        QCOMPARE(w->windowTitle(), QStringLiteral("Cargo Information"));
    }
};

QUARL_TEST(TestCargoScreen)
#include "tst_frmcargo.moc"
