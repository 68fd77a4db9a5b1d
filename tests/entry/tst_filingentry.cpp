#include "cargotest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "entry/billoflading.h"
#include "entry/filingrules.h"
#include "entry/goodsitems.h"
#include "store/schema.h"

#include <QTest>

using namespace quarl;
using cargotest::countRows;

Q_DECLARE_METATYPE(std::function<QString(const QString &)>)

namespace {
GoodsItem item(const QString &hscode, const QString &description = {}, const QString &uno = {})
{
    return GoodsItem{hscode, description, uno, QString(), QString(), QString()};
}

qint64 scalar(const Database &db, const char *sql)
{
    auto v = db.scalar(QLatin1String(sql));
    return v ? v->toLongLong() : -1;
}
} // namespace

// The rules of the fields kept for today's arrival manifest, and the goods items saved
// with their bill of lading.
class TestFilingEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formats_data()
    {
        using Rule = std::function<QString(const QString &)>;
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("passes");
        const Rule pan = [](const QString &t) { return FilingRules::pan(t); };
        const Rule iec = [](const QString &t) { return FilingRules::partyCode(t, QStringLiteral("IEC"), QString()); };
        const Rule gstin = [](const QString &t) { return FilingRules::partyCode(t, QStringLiteral("GSN"), QString()); };
        // no type chosen: the type a filing takes when none is given
        const Rule untyped = [](const QString &t) { return FilingRules::partyCode(t, QString(), QStringLiteral("PAN")); };
        const Rule pinIndia = [](const QString &t) { return FilingRules::postalCode(t, QString()); };
        const Rule postAbroad = [](const QString &t) { return FilingRules::postalCode(t, QStringLiteral("SG")); };
        const Rule hs = [](const QString &t) { return FilingRules::hsCode(t); };
        const Rule pkgs = [](const QString &t) { return FilingRules::wholeNumber(t); };
        QTest::newRow("PAN") << pan << "ABCPE1234K" << true;
        QTest::newRow("PAN empty: nothing is required") << pan << "" << true;
        QTest::newRow("PAN lower case") << pan << "abcpe1234k" << false;
        QTest::newRow("PAN digit last") << pan << "ABCPE12345" << false;
        QTest::newRow("PAN 11 characters") << pan << "ABCPE1234KK" << false;
        QTest::newRow("PAN letter among the digits") << pan << "ABCPE12X4K" << false;
        QTest::newRow("IEC 10") << iec << "0123456789" << true;
        QTest::newRow("IEC as a PAN") << iec << "AABCD4321E" << true;
        QTest::newRow("IEC 9") << iec << "012345678" << false;
        QTest::newRow("IEC with a blank") << iec << "01234 6789" << false;
        QTest::newRow("GSTIN 15") << gstin << "27AABCD4321E1Z5" << true;
        QTest::newRow("GSTIN 14") << gstin << "27AABCD4321E1Z" << false;
        QTest::newRow("no type: as a PAN") << untyped << "AABCE9876L" << true;
        QTest::newRow("no type: an IEC is no PAN") << untyped << "0123456789" << false;
        QTest::newRow("PIN") << pinIndia << "400001" << true;
        QTest::newRow("PIN 5 digits") << pinIndia << "40001" << false;
        QTest::newRow("PIN with a blank") << pinIndia << "400 001" << false;
        QTest::newRow("postcode abroad") << postAbroad << "018956" << true;
        QTest::newRow("postcode abroad, letters") << postAbroad << "EC1A 1BB" << true;
        QTest::newRow("postcode abroad, 10") << postAbroad << "1234567890" << false;
        QTest::newRow("HS 6") << hs << "848180" << true;
        QTest::newRow("HS 8") << hs << "84818090" << true;
        QTest::newRow("HS 7") << hs << "8481809" << false;
        QTest::newRow("HS 4") << hs << "8481" << false;
        QTest::newRow("HS with a dot") << hs << "8481.80" << false;
        QTest::newRow("packages") << pkgs << "1200" << true;
        QTest::newRow("packages, decimal") << pkgs << "12.5" << false;
        QTest::newRow("packages, negative") << pkgs << "-3" << false;
    }
    void formats()
    {
        QFETCH(std::function<QString(const QString &)>, rule);
        QFETCH(QString, text);
        QFETCH(bool, passes);
        const QString why = rule(text);
        QCOMPARE(why.isEmpty(), passes);
    }

    void masters_data() { test::addEngineRows(); }
    void masters()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        QCOMPARE(FilingRules::country(db, QStringLiteral("IN")).value(), QString());
        QCOMPARE(FilingRules::country(db, QStringLiteral("XQ")).value(), QStringLiteral("XQ is not in the country list"));
        QCOMPARE(FilingRules::port(db, QStringLiteral("INNSA1")).value(), QString());
        QCOMPARE(FilingRules::port(db, QStringLiteral("LKCMB")).value(), QString());
        QVERIFY(!FilingRules::port(db, QStringLiteral("ZZZZZ9")).value().isEmpty());
        QString name;
        QCOMPARE(FilingRules::state(db, QStringLiteral("27"), QStringLiteral("IN"), &name).value(), QString());
        QCOMPARE(name, QStringLiteral("MAHARASHTRA"));
        QVERIFY(!FilingRules::state(db, QStringLiteral("99"), QString()).value().isEmpty());
        QVERIFY(!FilingRules::state(db, QStringLiteral("7"), QString()).value().isEmpty()); // the code is 07
        // a state abroad is not one of the Indian list
        QCOMPARE(FilingRules::state(db, QStringLiteral("CA"), QStringLiteral("US")).value(), QString());
    }

    // The consignee's structured address read from free lines: PIN with or without the
    // blank, the state by its whole name, a telephone number no PIN, nothing found nothing set.
    void addressFromLines_data() { test::addEngineRows(); }
    void addressFromLines()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        struct Case
        {
            QStringList lines;
            FilingRules::PartyAddress expected;
        };
        const QList<Case> cases = {
            {{"Plot 5, MIDC", "Andheri East", "Mumbai - 400 093, Maharashtra"},
             {"Plot 5, MIDC, Andheri East", "Mumbai", "400093", "27", "MAHARASHTRA"}},
            {{"12 Anna Salai", "Chennai 600002", "Tamil Nadu"}, {"12 Anna Salai", "Chennai", "600002", "33", "TAMIL NADU"}},
            {{"Sector 18", "Tel 01202345678", ""}, {"Sector 18", "Tel 01202345678", "", "", ""}},
            {{"", "Warehouse 3", ""}, {"Warehouse 3", "", "", "", ""}},
            {{"", "", ""}, {}},
            {{"West Bengal House", "Kolkata", "700001"}, {"House", "Kolkata", "700001", "19", "WEST BENGAL"}},
        };
        for (const Case &c : cases) {
            auto a = FilingRules::addressFromLines(t.db(), c.lines);
            QVERIFY2(a, qPrintable(c.lines.join(u'|')));
            const QStringList got = {a->street, a->city, a->pin, a->state, a->stateName};
            const QStringList want = {c.expected.street, c.expected.city, c.expected.pin, c.expected.state, c.expected.stateName};
            QCOMPARE(got, want);
        }
    }

    // Two commodities under one bill of lading: stored with it in its transaction, numbered
    // in their order, replaced on the next save, gone with the bill of lading; an item that
    // breaks a rule stores nothing at all.
    void itemsWithTheBill_data() { test::addEngineRows(); }
    void itemsWithTheBill()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        BillOfLading bol = cargotest::sampleBill(QStringLiteral("BL1"));
        bol.containers << cargotest::sampleContainer(1);
        bol.containers.first().sealtype = QStringLiteral("BTSL");
        bol.containers.first().eqtype = QStringLiteral("CN");
        bol.items = QList<GoodsItem>{
            {QStringLiteral("848180"), QStringLiteral("BALL VALVES"), QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ"),
             QStringLiteral("600"), QStringLiteral("PKG")},
            {}, // an empty row of the grid
            {QStringLiteral("84818090"), QStringLiteral("GATE VALVES"), QString(), QString(), QStringLiteral("400"),
             QStringLiteral("PKG")}};
        const auto id = saveBillOfLading(db, bol);
        QVERIFY2(id.isOk(), qPrintable(id.failure().numberAndText()));
        auto items = GoodsItems::load(db, id.value());
        QCOMPARE(items->size(), 2);
        QCOMPARE(items->at(0).hscode, QStringLiteral("848180"));
        QCOMPARE(items->at(1).description, QStringLiteral("GATE VALVES"));
        QCOMPARE(items->at(1).unocode, QString());
        QCOMPARE(scalar(db, "select count(*) from cargoitem where itemseq = 2 and pkgs = 400"), 1);
        auto boxes = loadContainers(db, id.value());
        QCOMPARE(boxes->first().sealtype, QStringLiteral("BTSL"));
        QCOMPARE(boxes->first().eqtype, QStringLiteral("CN"));

        // an edit that leaves the items alone keeps them; one that gives them replaces them
        BillOfLading edit = bol;
        edit.id = id.value();
        edit.items.reset();
        edit.containers = boxes.value();
        QVERIFY(saveBillOfLading(db, edit).isOk());
        QCOMPARE(GoodsItems::load(db, id.value())->size(), 2);
        edit.items = QList<GoodsItem>{bol.items->at(2)};
        QVERIFY(saveBillOfLading(db, edit).isOk());
        items = GoodsItems::load(db, id.value());
        QCOMPARE(items->size(), 1);
        QCOMPARE(items->first().hscode, QStringLiteral("84818090"));
        QCOMPARE(scalar(db, "select itemseq from cargoitem"), 1);

        // a bad HS code in the second item: nothing of the new bill of lading is stored
        BillOfLading bad = cargotest::sampleBill(QStringLiteral("BL2"));
        bad.containers << cargotest::sampleContainer(2);
        bad.items = QList<GoodsItem>{bol.items->at(0), item(QStringLiteral("8481"), QStringLiteral("X"))};
        const auto refused = saveBillOfLading(db, bad);
        QVERIFY(!refused.isOk());
        QVERIFY(refused.failure().is(ErrorNumber::ItemRule));
        QCOMPARE(refused.failure().description, QStringLiteral("Item 2: HS Code: an HS code is 6 or 8 digits"));
        QCOMPARE(countRows(db, QStringLiteral("cargo")), 1);
        QCOMPARE(countRows(db, QStringLiteral("contain")), 1);
        QCOMPARE(countRows(db, QStringLiteral("cargoitem")), 1);
        bad.items = QList<GoodsItem>{item(QStringLiteral("848180"), QString(), QStringLiteral("1234X"))};
        QCOMPARE(saveBillOfLading(db, bad).failure().description,
                 QStringLiteral("Item 1: UNO: 1234X is not in the UN number list (ZZZZZ for none)"));

        QVERIFY(deleteBillOfLading(db, id.value()).isOk());
        QCOMPARE(countRows(db, QStringLiteral("cargoitem")), 0);
    }

    // A company database of release 2.1.0 saves as before; goods typed there are refused
    // with the upgrade to run, not lost in silence.
    void itemsBeforeTheUpgrade()
    {
        QUARL_TEMP_DB(t, QStringLiteral("sqlite"));
        Schema::CompanyOptions release210;
        release210.release210 = true;
        QVERIFY(Schema::createCompanyDatabase(t.db(), release210).isOk());
        BillOfLading bol = cargotest::sampleBill(QStringLiteral("BL1"));
        bol.containers << cargotest::sampleContainer(1);
        bol.items = QList<GoodsItem>{};
        QVERIFY(saveBillOfLading(t.db(), bol).isOk());
        QCOMPARE(loadContainers(t.db(), 1)->size(), 1);
        QCOMPARE(GoodsItems::load(t.db(), 1)->size(), 0);
        bol.id = 1;
        bol.containers = loadContainers(t.db(), 1).value();
        bol.items = QList<GoodsItem>{item(QStringLiteral("848180"))};
        const auto refused = saveBillOfLading(t.db(), bol);
        QVERIFY(!refused.isOk());
        QVERIFY(refused.failure().description.contains(QStringLiteral("(2.2.0)")));
        QVERIFY(deleteBillOfLading(t.db(), 1).isOk());
    }
};

QUARL_TEST(TestFilingEntry)
#include "tst_filingentry.moc"
