#include "cargotest.h"
#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "core/scriptedprompter.h"
#include "entry/ui/codecombo.h"
#include "entry/ui/frmcargo.h"
#include "entry/ui/frmhouses.h"
#include "entry/ui/goodsitemsgrid.h"
#include "sam/samfile.h"
#include "store/cargolines.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quarl;
using namespace quarl::igm;
using cargotest::countRows;

namespace {

const QString Master = QStringLiteral("MSKU123");

QVariant stored(const Database &db, const QString &column, const QString &blno)
{
    return db.scalar(QStringLiteral("select %1 from cargo where blno = ?").arg(column), {blno}).value();
}

// A consolidated line 1 with two containers; its houses when asked for, with a container
// of the master each.
qint64 seedMaster(const Database &db, int houses = 0)
{
    BillOfLading bol = cargotest::sampleBill(Master);
    bol.set(QStringLiteral("consind"), QStringLiteral("C"));
    bol.containers << cargotest::sampleContainer(1) << cargotest::sampleContainer(2);
    auto id = saveBillOfLading(db, bol);
    if (!id)
        return 0;
    if (!db.exec(QStringLiteral("update cargo set lineno = 1, sublineno = 0 where id = ?"), {id.value()}))
        return 0;
    for (int k = 1; k <= houses; ++k) {
        BillOfLading house = cargotest::sampleBill(QStringLiteral("HBL%1").arg(k, 3, 10, QLatin1Char('0')));
        house.set(QStringLiteral("consind"), QStringLiteral("H"));
        house.set(QLatin1String(HouseLinkColumn), id.value());
        house.containers << cargotest::sampleContainer(k);
        house.items = QList<GoodsItem>{{QStringLiteral("640399"), QStringLiteral("SHOES"), {}, {}, QStringLiteral("5"),
                                        QStringLiteral("PKG")}};
        if (!saveBillOfLading(db, house))
            return 0;
    }
    return id.value();
}

// A house B/L as its paper reads, for keying on the houses' screen.
struct HousePaper
{
    QString blno;
    QString consignee;
    QStringList address; // three lines
    QString city;
    QString state; // its code
    QString pin;
    QString codeType;
    QString code;
    int pkgs;
    QString weight;
    QString marks;
    QString description;
    QString hs;
    QString item;
};

// The cargo screen and the houses' screen reached from it, driven by keys.
struct Desk : test::Desk<frmCargo>
{
    frmHouses *houses() const { return screen->housesScreen(); }
    QWidget *focus() const { return QApplication::focusWidget(); }
    QLineEdit *h(const char *column) const { return houses()->field(QLatin1String(column)); }
    void press(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(focus(), k, m); }
    void type(const QString &text)
    {
        QTest::keyClicks(focus(), text);
        press(Qt::Key_Return);
    }
    void typeItem(const QString &text)
    {
        GoodsItemsGrid *items = houses()->itemsGrid();
        QTest::keyClicks(items, text.left(1));
        QCOMPARE(focus(), static_cast<QWidget *>(items->editor()));
        QTest::keyClicks(items->editor(), text.mid(1));
        QTest::keyClick(items->editor(), Qt::Key_Return);
    }
    void goTo(const QString &blno)
    {
        screen->moveFirst();
        while (f(15)->text() != blno && screen->adoPrimaryRS().position() < screen->adoPrimaryRS().count() - 1)
            screen->moveNext();
    }
    // Alt+H on the cargo screen: the houses' screen, active.
    bool openHouses()
    {
        test::showActive(screen.get());
        QTest::keyClick(focus(), Qt::Key_H, Qt::AltModifier);
        return houses() && test::showActive(houses());
    }
    // One house keyed from "House B/L No." on, by keyboard alone: the container of the
    // master's list at row box, one goods item.
    void keyHouse(const QString &blno, const QString &consignee, int box, const QString &hs)
    {
        QCOMPARE(focus(), static_cast<QWidget *>(h("blno")));
        type(blno.toLower()); // taken in capitals
        type(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        for (const QString &text : {consignee, QStringLiteral("2 DOCK ROAD"), QStringLiteral("FORT"), QStringLiteral("MUMBAI"),
                                    QStringLiteral("MUMBAI"), QStringLiteral("27"), QStringLiteral("400001")})
            type(text);
        QCOMPARE(focus(), static_cast<QWidget *>(houses()->codeTypeCombo()));
        press(Qt::Key_Return); // the code type: left empty
        press(Qt::Key_Return); // the consignee code: none
        type(QStringLiteral("NOTIFY CO"));
        for (int i = 0; i < 4; ++i)
            press(Qt::Key_Return); // notify address and city
        type(QStringLiteral("aabce9876l"));
        QCOMPARE(h("notpan")->text(), QStringLiteral("AABCE9876L"));
        type(QStringLiteral("0"));
        QCOMPARE(focus(), static_cast<QWidget *>(h("pkgs"))); // no packages refused, and why
        QCOMPARE(houses()->statusText(), QStringLiteral("Pkgs. may not be 0"));
        h("pkgs")->clear();
        type(QStringLiteral("5"));
        type(QStringLiteral("250.5"));
        QVERIFY(!h("volume")->isEnabled()); // container cargo: skipped
        type(QStringLiteral("HM ") + blno);
        type(QStringLiteral("LEATHER SHOES"));
        QCOMPARE(focus(), static_cast<QWidget *>(houses()->containerList()));
        for (int i = 0; i < box; ++i)
            press(Qt::Key_Return); // down the master's containers
        press(Qt::Key_Space);
        press(Qt::Key_Tab);
        QCOMPARE(focus(), static_cast<QWidget *>(houses()->itemsGrid()));
        for (const QString &text : {hs, QStringLiteral("LEATHER SHOES"), QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ"),
                                    QStringLiteral("5"), QStringLiteral("PKG")})
            typeItem(text);
        press(Qt::Key_S, Qt::ControlModifier);
    }
    // A house as its paper reads, keyed from "House B/L No." on by keyboard alone: the
    // consignee with its code, notified as itself, the master's only container, one goods
    // item of all its packages.
    void keyPaper(const HousePaper &p)
    {
        QCOMPARE(focus(), static_cast<QWidget *>(h("blno")));
        type(p.blno);
        type(QStringLiteral("28/02/2025"));
        type(p.consignee);
        for (const QString &line : p.address)
            type(line);
        QCOMPARE(focus(), static_cast<QWidget *>(h("cnscity")));
        type(p.city);
        // a state code the list lacks and a PIN of five digits hold the cursor, with why
        type(QStringLiteral("99"));
        QCOMPARE(focus(), static_cast<QWidget *>(h("cnsstate")));
        QCOMPARE(houses()->statusText(), QStringLiteral("Consignee State: 99 is not an Indian state code (01 to 38)"));
        h("cnsstate")->clear();
        type(p.state);
        type(p.pin.left(5));
        QCOMPARE(focus(), static_cast<QWidget *>(h("cnspin")));
        h("cnspin")->clear();
        type(p.pin);
        QCOMPARE(focus(), static_cast<QWidget *>(houses()->codeTypeCombo()));
        // the list's search by code starts afresh after a pause, as a clerk's keying has
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(focus(), p.codeType);
        QCOMPARE(houses()->codeTypeCombo()->code(), p.codeType);
        press(Qt::Key_Return);
        type(p.code);
        type(p.consignee); // notify
        for (const QString &line : p.address)
            type(line);
        QCOMPARE(focus(), static_cast<QWidget *>(h("notcity")));
        type(p.city);
        press(Qt::Key_Return); // notify code: none
        QCOMPARE(focus(), static_cast<QWidget *>(h("pkgs")));
        type(QString::number(p.pkgs));
        type(p.weight);
        QVERIFY(!h("volume")->isEnabled()); // container cargo: skipped
        type(p.marks);
        type(p.description);
        QCOMPARE(focus(), static_cast<QWidget *>(houses()->containerList()));
        QCOMPARE(houses()->containerList()->rowCount(), 1);
        press(Qt::Key_Space);
        press(Qt::Key_Tab);
        QCOMPARE(focus(), static_cast<QWidget *>(houses()->itemsGrid()));
        for (const QString &text : {p.hs, p.item, QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ"), QString::number(p.pkgs),
                                    QStringLiteral("PKG")})
            typeItem(text);
        press(Qt::Key_S, Qt::ControlModifier);
    }
};

} // namespace

// House B/Ls keyed beneath their consolidated line, and the rules that keep them there.
class TestHouseScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two houses keyed by keyboard alone under a consolidated line, each with a container of
    // the master and a goods item; stored under the master with its line number and the
    // sub-lines 1 and 2, shown on the cargo screen as houses of that B/L.
    void twoHousesByKeyboard_data() { test::addEngineRows(); }
    void twoHousesByKeyboard()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const qint64 master = seedMaster(t.db());
        QVERIFY(master > 0);
        ScriptedPrompter prompter;
        Desk x;
        QVERIFY(x.open(t.db()));
        QCOMPARE(x.f(15)->text(), Master);
        QCOMPARE(x.screen->findChild<QPushButton *>(QStringLiteral("cmdHouses"))->text(), QStringLiteral("&House B/Ls"));
        QVERIFY(x.openHouses());
        QCOMPARE(x.houses()->houseList()->rowCount(), 0);
        QCOMPARE(x.houses()->findChild<QLabel *>(QStringLiteral("lblMaster"))->text(),
                 QStringLiteral("House B/Ls of B/L MSKU123, line 1 (VSL1 / V1)"));
        QCOMPARE(x.houses()->containerList()->rowCount(), 2);

        x.keyHouse(QStringLiteral("HBL001"), QStringLiteral("HOUSE ONE"), 0, QStringLiteral("640399"));
        QCOMPARE(x.houses()->statusText(), QStringLiteral("House B/L HBL001, sub-line 1 saved"));
        QCOMPARE(x.houses()->houseList()->rowCount(), 1);
        QTest::keyClick(x.focus(), Qt::Key_N, Qt::AltModifier);
        x.keyHouse(QStringLiteral("HBL002"), QStringLiteral("HOUSE TWO"), 1, QStringLiteral("42029100"));
        QCOMPARE(x.houses()->houseList()->rowCount(), 2);
        QCOMPARE(prompter.messages(), QStringList());

        // a house half keyed is held at the first field that fails; Esc asks before dropping it
        QTest::keyClick(x.focus(), Qt::Key_N, Qt::AltModifier);
        x.type(QStringLiteral("HBL003"));
        x.houses()->saveHouse();
        QCOMPARE(x.houses()->statusText(), QStringLiteral("B/L Date is required"));
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.h("bldt")));
        prompter.answerNo();
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QVERIFY(x.houses() && x.houses()->isVisible());
        prompter.answerYes();
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QCOMPARE(prompter.events().last().text, QStringLiteral("Discard what was typed for this house B/L?"));
        QTRY_VERIFY(!x.houses());
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 3);

        auto q = t.db().query(QStringLiteral("select blno, masterid, lineno, sublineno, consind, impname, notpan, pkgs, grosswt "
                                             "from cargo where masterid is not null order by sublineno"));
        QVERIFY(q);
        const QStringList expected = {QStringLiteral("HBL001 %1 1 1 H HOUSE ONE AABCE9876L 5 250.5").arg(master),
                                      QStringLiteral("HBL002 %1 1 2 H HOUSE TWO AABCE9876L 5 250.5").arg(master)};
        QStringList rows;
        while (q->next()) {
            QStringList row;
            for (int i = 0; i < 9; ++i)
                row << q->value(i).toString().trimmed();
            rows << row.join(QLatin1Char(' '));
        }
        QCOMPARE(rows, expected);
        for (int k = 1; k <= 2; ++k) {
            const QString blno = QStringLiteral("HBL00%1").arg(k);
            const qint64 id = stored(t.db(), QStringLiteral("id"), blno).toLongLong();
            auto house = loadBillOfLading(t.db(), id);
            QVERIFY(house && house->has_value());
            // the container the house chose, copied from its master's row
            QCOMPARE((*house)->containers.size(), 1);
            Container expectedBox = cargotest::sampleContainer(k);
            expectedBox.autoid = (*house)->containers.first().autoid;
            QCOMPARE((*house)->containers.first(), expectedBox);
            QCOMPARE((*house)->items->size(), 1);
            QCOMPARE((*house)->items->first().hscode, k == 1 ? QStringLiteral("640399") : QStringLiteral("42029100"));
            QCOMPARE((*house)->value(QStringLiteral("vslcode")).toString(), QStringLiteral("VSL1")); // from the master
            QCOMPARE((*house)->value(QStringLiteral("naturecargo")).toString(), QStringLiteral("C"));
        }
        QCOMPARE(loadContainers(t.db(), master)->size(), 2); // the master keeps its own

        // the cargo screen shows them as houses of the master
        QCOMPARE(x.screen->adoPrimaryRS().count(), 3);
        QCOMPARE(x.screen->findChild<QLabel *>(QStringLiteral("lblHouse"))->text(),
                 QStringLiteral("Consolidated: 2 house B/Ls (Alt+H)"));
        x.goTo(QStringLiteral("HBL002"));
        QCOMPARE(x.screen->houseLinkText(), QStringLiteral("House of B/L MSKU123, sub-line 2"));
        // edited as a line, a house keeps its link and numbers, and its "H" stays locked
        x.key(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(x.screen->filingCombo(QStringLiteral("cmbConsInd"))->isLocked());
        x.retype(6, QStringLiteral("HOUSE TWO LTD"));
        x.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HBL002")).toString(), QStringLiteral("HOUSE TWO LTD"));
        QCOMPARE(stored(t.db(), QStringLiteral("masterid"), QStringLiteral("HBL002")).toLongLong(), master);
        QCOMPARE(stored(t.db(), QStringLiteral("sublineno"), QStringLiteral("HBL002")).toInt(), 2);
        QCOMPARE(stored(t.db(), QStringLiteral("consind"), QStringLiteral("HBL002")).toString().trimmed(), QStringLiteral("H"));
        // Alt+H from a house: its master's houses, at that house
        QVERIFY(x.openHouses());
        QCOMPARE(x.houses()->houseShown(), stored(t.db(), QStringLiteral("id"), QStringLiteral("HBL002")).toLongLong());
        QCOMPARE(x.h("impname")->text(), QStringLiteral("HOUSE TWO LTD"));
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QTRY_VERIFY(!x.houses());
    }

    // The clerk keys the two house B/Ls of a consolidated line on the houses' screen, by
    // keyboard alone; the voyage is then filed as a SAM file that the check passes without
    // an error and that python3-jsonschema finds valid against the official schema.
    void keyedHousesFileCleanly_data() { test::addEngineRows(); }
    void keyedHousesFileCleanly()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const QString vessel = QStringLiteral("GOLD");
        const QString voyage = QStringLiteral("024E");
        QUARL_VERIFY_OK(test::keepGoldenFiler(t.db()));
        SamImportOptions in;
        in.vessel = vessel;
        const SamImportResult imported = importSamFile(t.db(), test::samFixture(QStringLiteral("golden_small.json")), in,
                                                       [](const QString &) { return true; });
        QVERIFY2(imported.outcome.isOk(), qPrintable(imported.outcome.message));
        // the consolidated line 2 without its houses: they are keyed again below
        for (const char *blno : {"HBLSIN0001", "HBLSIN0002"}) {
            const QVariant id = stored(t.db(), QStringLiteral("id"), QLatin1String(blno));
            QVERIFY2(id.isValid(), blno);
            QUARL_VERIFY_OK(deleteBillOfLading(t.db(), id.toLongLong()));
        }
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 4);

        ScriptedPrompter prompter;
        Desk x;
        QVERIFY(x.open(t.db()));
        x.goTo(QStringLiteral("MSCSIN0002"));
        QCOMPARE(x.f(15)->text(), QStringLiteral("MSCSIN0002"));
        QVERIFY(x.openHouses());
        QCOMPARE(x.houses()->houseList()->rowCount(), 0);
        const HousePaper papers[] = {
            {QStringLiteral("HBLSIN0001"), QStringLiteral("ALPHA TRADERS"),
             {QStringLiteral("4 MARKET LANE"), QStringLiteral("KALBADEVI"), QStringLiteral("NEAR THE TEMPLE")}, QStringLiteral("MUMBAI"),
             QStringLiteral("27"), QStringLiteral("400002"), QStringLiteral("IEC"), QStringLiteral("0312345678"), 100, QStringLiteral("1800"), QStringLiteral("ALPHA/1-100"),
             QStringLiteral("100 PACKAGES POLYPROPYLENE"), QStringLiteral("39021000"), QStringLiteral("POLYPROPYLENE")},
            {QStringLiteral("HBLSIN0002"), QStringLiteral("BETA RUBBER LLP"),
             {QStringLiteral("8 RUBBER LANE"), QStringLiteral("WAGLE ESTATE"), QStringLiteral("ROAD 16")}, QStringLiteral("THANE"),
             QStringLiteral("27"), QStringLiteral("400601"), QStringLiteral("PAN"), QStringLiteral("AABFB1234C"), 200, QStringLiteral("3600"), QStringLiteral("BETA/1-200"),
             QStringLiteral("200 PACKAGES TYRES"), QStringLiteral("401110"), QStringLiteral("TYRES")},
        };
        for (int k = 0; k < 2; ++k) {
            if (k > 0)
                QTest::keyClick(x.focus(), Qt::Key_N, Qt::AltModifier);
            x.keyPaper(papers[k]);
            QCOMPARE(x.houses()->statusText(), QStringLiteral("House B/L %1, sub-line %2 saved").arg(papers[k].blno).arg(k + 1));
        }
        QCOMPARE(x.houses()->houseList()->rowCount(), 2);
        QCOMPARE(prompter.messages(), QStringList());
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QTRY_VERIFY(!x.houses());

        QTemporaryDir dir;
        SamWriteOptions o;
        o.iceGateUser = QStringLiteral("QUARLAGT");
        o.customHouseCode = QStringLiteral("INNSA1");
        o.testOrProduction = QStringLiteral("T");
        o.written = QDateTime(QDate(2025, 3, 10), QTime(10, 30));
        o.jobNumber = 17;
        const SamWriteResult sam = writeSamFile(t.db(), dir.path(), vessel, voyage, o);
        QStringList errors;
        for (const Finding &f : sam.check.findings) {
            if (f.isError())
                errors << f.where() + QStringLiteral(", ") + f.field + QStringLiteral(": ") + f.text;
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        QVERIFY2(sam.outcome.isOk(), qPrintable(sam.outcome.message + sam.outcome.failure.numberAndText()));

        QFile file(sam.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject written = QJsonDocument::fromJson(file.readAll()).object();
        QJsonObject line;
        for (const QJsonValue &v : written.value(QStringLiteral("master")).toObject().value(QStringLiteral("mastrCnsgmtDec")).toArray()) {
            const QJsonObject l = v.toObject();
            if (l.value(QStringLiteral("MCRef")).toObject().value(QStringLiteral("lineNo")).toInt() == 2)
                line = l;
        }
        QCOMPARE(line.value(QStringLiteral("MCRef")).toObject().value(QStringLiteral("mstrBlNo")).toString(), QStringLiteral("MSCSIN0002"));
        const QJsonArray houses = line.value(QStringLiteral("houseCargoDec")).toArray();
        QCOMPARE(houses.size(), 2);
        for (int k = 0; k < 2; ++k) {
            const QJsonObject house = houses.at(k).toObject();
            const QJsonObject ref = house.value(QStringLiteral("HCRef")).toObject();
            QCOMPARE(ref.value(QStringLiteral("subLineNo")).toInt(), k + 1);
            QCOMPARE(ref.value(QStringLiteral("blNo")).toString(), papers[k].blno);
            QCOMPARE(ref.value(QStringLiteral("consolidatedIndctr")).toString(), QStringLiteral("H"));
            QCOMPARE(house.value(QStringLiteral("trnsprtDocMsr")).toObject().value(QStringLiteral("nmbrOfPkgs")).toInt(), papers[k].pkgs);
            const QJsonObject doc = house.value(QStringLiteral("trnsprtDoc")).toObject();
            QCOMPARE(doc.value(QStringLiteral("cnsgnesName")).toString(), papers[k].consignee);
            QCOMPARE(doc.value(QStringLiteral("cnsgneCity")).toString(), papers[k].city);
            QCOMPARE(doc.value(QStringLiteral("cnsgneCntrySubDiv")).toString(), papers[k].state);
            QCOMPARE(doc.value(QStringLiteral("cnsgneCntrySubDivName")).toString(), QStringLiteral("MAHARASHTRA"));
            QCOMPARE(doc.value(QStringLiteral("cnsgnePstcd")).toString(), papers[k].pin);
            QCOMPARE(doc.value(QStringLiteral("notfdPartyCity")).toString(), papers[k].city);
            QCOMPARE(doc.value(QStringLiteral("cnsgnesCd")).toString(), papers[k].code);
            QCOMPARE(doc.value(QStringLiteral("typOfCd")).toString(), papers[k].codeType);
            const QJsonArray items = house.value(QStringLiteral("itemDtls")).toArray();
            QCOMPARE(items.size(), 1);
            QCOMPARE(items.at(0).toObject().value(QStringLiteral("hsCd")).toString(), papers[k].hs);
            const QJsonArray boxes = house.value(QStringLiteral("trnsprtEqmt")).toArray();
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes.at(0).toObject().value(QStringLiteral("eqmtId")).toString(), QStringLiteral("TGHU3456780"));
        }

        QString why;
        QCOMPARE(test::samSchemaVerdict(sam.path, &why), QStringList());
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    // A house deleted on the houses' screen frees its sub-line for the next one; a master
    // deleted asks first, naming its houses, and takes them with their containers and items.
    void deletingHousesAndTheirMaster_data() { test::addEngineRows(); }
    void deletingHousesAndTheirMaster()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const qint64 master = seedMaster(t.db(), 3);
        QVERIFY(master > 0);
        ScriptedPrompter prompter;
        Desk x;
        QVERIFY(x.open(t.db()));
        x.goTo(Master);
        QVERIFY(x.openHouses());
        QCOMPARE(x.houses()->houseList()->rowCount(), 3);
        x.houses()->houseList()->setCurrentCell(1, 0);
        QCOMPARE(x.h("blno")->text(), QStringLiteral("HBL002"));
        prompter.answerYes();
        QTest::keyClick(x.focus(), Qt::Key_L, Qt::AltModifier);
        QCOMPARE(prompter.events().last().text, QStringLiteral("Delete house B/L HBL002?"));
        QCOMPARE(x.houses()->houseList()->rowCount(), 2);
        QVERIFY(!stored(t.db(), QStringLiteral("id"), QStringLiteral("HBL002")).isValid());
        QTest::keyClick(x.focus(), Qt::Key_N, Qt::AltModifier);
        x.keyHouse(QStringLiteral("HBL004"), QStringLiteral("HOUSE FOUR"), 1, QStringLiteral("640399"));
        QCOMPARE(stored(t.db(), QStringLiteral("sublineno"), QStringLiteral("HBL004")).toInt(), 2); // the free one
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QTRY_VERIFY(!x.houses());

        prompter.clear();
        prompter.answerNo();
        x.goTo(Master);
        x.key(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(prompter.events().size(), 1);
        QCOMPARE(prompter.events().first().text, QStringLiteral("Delete B/L MSKU123 of VSL1 / V1 and its 3 house B/Ls?"));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 4);
        prompter.answerYes();
        x.key(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 0);
        QCOMPARE(countRows(t.db(), QStringLiteral("contain")), 0);
        QCOMPARE(countRows(t.db(), QStringLiteral("cargoitem")), 0);
        QCOMPARE(x.screen->adoPrimaryRS().count(), 0);
        // a line without houses is asked about as before
        QVERIFY(saveBillOfLading(t.db(), cargotest::sampleBill(QStringLiteral("SOLO1"))));
        x.screen->refreshRecords();
        prompter.clear();
        prompter.answerNo();
        x.screen->deleteRecord();
        QCOMPARE(prompter.events().first().text, QStringLiteral("Confirm Deletion ?\n\nB/L No. SOLO1 of VSL1 / V1"));
    }

    // A line with houses stays consolidated, from the screen and from any other writer; a
    // house goes under a consolidated line only, and "H" is no choice of a line's list.
    void aLineWithHousesStaysConsolidated_data() { test::addEngineRows(); }
    void aLineWithHousesStaysConsolidated()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const qint64 master = seedMaster(t.db(), 2);
        QVERIFY(master > 0);

        // the rule of the save itself
        auto asStored = loadBillOfLading(t.db(), master);
        QVERIFY(asStored && asStored->has_value());
        BillOfLading straight = **asStored;
        straight.set(QStringLiteral("consind"), QStringLiteral("S"));
        auto refused = saveBillOfLading(t.db(), straight, {}, &**asStored);
        QVERIFY(!refused);
        QVERIFY(refused.failure().is(ErrorNumber::HouseRule));
        QCOMPARE(refused.failure().description,
                 QStringLiteral("B/L MSKU123 has 2 house B/Ls under it: it stays Consolidated \"C\" until they are "
                                "deleted or moved."));
        straight.set(QStringLiteral("consind"), QVariant()); // empty is filed as "C" for a line with houses
        QVERIFY(saveBillOfLading(t.db(), straight, {}, &**asStored));
        BillOfLading solo = cargotest::sampleBill(QStringLiteral("SOLO1"));
        solo.set(QStringLiteral("consind"), QStringLiteral("S"));
        auto soloId = saveBillOfLading(t.db(), solo);
        QVERIFY(soloId);
        BillOfLading stray = cargotest::sampleBill(QStringLiteral("HBL009"));
        stray.set(QLatin1String(HouseLinkColumn), soloId.value());
        auto strayed = saveBillOfLading(t.db(), stray);
        QVERIFY(!strayed);
        QCOMPARE(strayed.failure().description, QLatin1String(HouseNeedsConsolidated));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 4);
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set consind = 'C' where id = ?"), {master}));

        // on the screen: the list has no "H"; C to S is refused with the reason, nothing stored
        ScriptedPrompter prompter;
        Desk x;
        QVERIFY(x.open(t.db()));
        x.goTo(Master);
        CodeCombo *kind = x.screen->filingCombo(QStringLiteral("cmbConsInd"));
        QCOMPARE(kind->findData(QStringLiteral("H")), -1);
        QVERIFY(kind->findData(QStringLiteral("C")) >= 0);
        x.key(Qt::Key_E, Qt::ControlModifier);
        x.key(Qt::Key_P, Qt::AltModifier);
        x.key(Qt::Key_Return); // type of cargo
        QCOMPARE(x.focus(), static_cast<QWidget *>(kind));
        QTest::keyClick(kind, Qt::Key_Down);
        QCOMPARE(kind->code(), QStringLiteral("S"));
        x.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages(),
                 QStringList{QStringLiteral("B/L MSKU123 has 2 house B/Ls under it: it stays Consolidated \"C\" until "
                                            "they are deleted or moved.")});
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(stored(t.db(), QStringLiteral("consind"), Master).toString().trimmed(), QStringLiteral("C"));
        x.key(Qt::Key_Escape);
        // the straight line has no houses' screen, and says why
        x.goTo(QStringLiteral("SOLO1"));
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        x.screen->openHouses();
        QVERIFY(!x.houses());
        QCOMPARE(x.screen->statusText(),
                 QStringLiteral("House B/Ls go under a consolidated line: set Consolidated to \"C\" (Alt+P) and save first."));
        // carried from a house, the new line stands alone
        x.goTo(QStringLiteral("HBL001"));
        x.screen->carryRecord();
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(kind->code(), QString());
        QCOMPARE(kind->findData(QStringLiteral("H")), -1);
    }

    // Two desks: one keys a house on the houses' screen while the other edits that house on
    // the cargo screen; the stale save is refused, what was typed stays, nothing is lost.
    // A master deleted meanwhile refuses the new house with the reason.
    void twoDesksOnAHouse_data() { test::addEngineRows(); }
    void twoDesksOnAHouse()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const qint64 master = seedMaster(t.db(), 1);
        QVERIFY(master > 0);
        auto second = t.reopen();
        QVERIFY(second.isOk());
        ScriptedPrompter prompter;
        Desk one, two;
        QVERIFY(one.open(t.db()));
        QVERIFY(two.open(second.value()));
        one.goTo(Master);
        QVERIFY(one.openHouses());
        QCOMPARE(one.h("blno")->text(), QStringLiteral("HBL001"));
        QTest::keyClick(one.focus(), Qt::Key_Return); // from the list to the form
        QCOMPARE(one.focus(), static_cast<QWidget *>(one.h("blno")));
        one.h("pkgs")->setFocus();
        one.h("pkgs")->selectAll();
        QTest::keyClicks(one.h("pkgs"), QStringLiteral("7"));

        // desk two changes the house's consignee on the cargo screen and saves
        two.goTo(QStringLiteral("HBL001"));
        two.key(Qt::Key_E, Qt::ControlModifier);
        two.retype(6, QStringLiteral("DESK TWO CONSIGNEE"));
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(two.screen->mode(), RecordBrowser::Mode::Browse);

        // desk one's save is stale: refused, its 7 packages still typed
        test::showActive(one.houses());
        QTest::keyClick(one.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY2(prompter.messages().first().startsWith(QLatin1String(ChangedElsewhere)), qPrintable(prompter.messages().first()));
        QCOMPARE(one.h("pkgs")->text(), QStringLiteral("7"));
        QVERIFY(one.houses()->isChanged());
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HBL001")).toInt(), 10);
        QCOMPARE(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HBL001")).toString(), QStringLiteral("DESK TWO CONSIGNEE"));
        // read again (what was typed is dropped only when asked), then typed again: stored
        prompter.answerNo();
        QTest::keyClick(one.focus(), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(one.h("pkgs")->text(), QStringLiteral("7"));
        prompter.answerYes();
        QTest::keyClick(one.focus(), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(one.h("pkgs")->text(), QStringLiteral("10"));
        QCOMPARE(one.h("impname")->text(), QStringLiteral("DESK TWO CONSIGNEE"));
        one.h("pkgs")->setText(QStringLiteral("7"));
        QVERIFY(one.houses()->saveHouse());
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HBL001")).toInt(), 7);
        QCOMPARE(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HBL001")).toString(), QStringLiteral("DESK TWO CONSIGNEE"));

        // desk one keys a new house while desk two deletes the master with its house
        QTest::keyClick(one.focus(), Qt::Key_N, Qt::AltModifier);
        one.keyHouse(QStringLiteral("HBL002"), QStringLiteral("HOUSE TWO"), 0, QStringLiteral("640399"));
        QCOMPARE(stored(t.db(), QStringLiteral("sublineno"), QStringLiteral("HBL002")).toInt(), 2);
        QTest::keyClick(one.focus(), Qt::Key_N, Qt::AltModifier);
        two.screen->refreshRecords();
        two.goTo(Master);
        prompter.clear();
        prompter.answerYes();
        two.screen->deleteRecord();
        QCOMPARE(prompter.events().first().text, QStringLiteral("Delete B/L MSKU123 of VSL1 / V1 and its 2 house B/Ls?"));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 0);
        test::showActive(one.houses());
        QCOMPARE(one.focus(), static_cast<QWidget *>(one.h("blno")));
        prompter.clear();
        one.keyHouse(QStringLiteral("HBL003"), QStringLiteral("HOUSE THREE"), 0, QStringLiteral("640399"));
        QCOMPARE(prompter.messages(),
                 QStringList{QStringLiteral("The master line of this house B/L is gone: another workstation deleted it.")});
        QCOMPARE(one.h("blno")->text(), QStringLiteral("HBL003"));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 0);
    }

    // The houses' screen shows every control whole, the master's line on the cargo screen
    // names its houses. With QUARL_SCREENSHOT_DIR set, both are saved there (houses.png,
    // cargo-master.png).
    void orderlyHousesScreen()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(seedMaster(t.db(), 2) > 0);
        ScriptedPrompter prompter;
        Desk x;
        QVERIFY(x.open(t.db()));
        x.goTo(Master);
        QVERIFY(x.openHouses());
        QCoreApplication::processEvents();
        const QImage picture = x.houses()->grab().toImage();
        QCOMPARE(test::pictureFault(x.houses(), picture), QString());
        const QString dir = qEnvironmentVariable("QUARL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            picture.save(dir + QStringLiteral("/houses.png"));
        QTest::keyClick(x.focus(), Qt::Key_Escape);
        QTRY_VERIFY(!x.houses());
        const QImage cargo = x.screen->grab().toImage();
        QCOMPARE(test::pictureFault(x.screen.get(), cargo), QString());
        if (!dir.isEmpty())
            cargo.save(dir + QStringLiteral("/cargo-master.png"));
        QCOMPARE(prompter.messages(), QStringList());
    }
};

QUARL_TEST(TestHouseScreen)
#include "tst_frmhouses.moc"
