#include "common/testdb.h"
#include "common/testmain.h"
#include "common/igmtestdata.h"

#include "filing/igmwriter.h"
#include "flatfile/flatlayouts.h"
#include "interchange/xmlinterchange.h"
#include "manifest/igmmessages.h"
#include "manifest/voyageremoval.h"
#include "store/filingfields.h"
#include "store/schema.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

// Every column of release 2.2.0 of a table filled in all rows, the value telling the
// column and the row's key apart.
bool fillFilingColumns(const Database &db, const char *table, const char *key)
{
    for (const Filing::Field *f : Filing::addedColumns(QLatin1String(table))) {
        QString expr;
        switch (f->type) {
        case ColumnType::Integer:
            expr = QStringLiteral("%1 + 3").arg(QLatin1String(key));
            break;
        case ColumnType::Date:
            expr = QStringLiteral("?");
            break;
        default:
            // as wide as the column takes: a prefix of the column's name and the key
            expr = QStringLiteral("substr(upper('%1') || cast(%2 as text), 1, %3)")
                       .arg(QLatin1String(f->column).left(std::max(1, f->width - 3)), QLatin1String(key))
                       .arg(f->width);
            break;
        }
        const QVariantList binds = f->type == ColumnType::Date ? QVariantList{db.dialect().dateToDb(QDate(2026, 12, 9))}
                                                                : QVariantList{};
        if (!db.exec(QStringLiteral("update %1 set %2 = %3").arg(QLatin1String(table), QLatin1String(f->column), expr), binds))
            return false;
    }
    return true;
}

bool addItems(const Database &db, qint64 ref, int count, const QString &hsPrefix)
{
    for (int i = 1; i <= count; ++i) {
        if (!db.exec(QStringLiteral("insert into cargoitem (ref, itemseq, hscode, itemdesc, unocode, imocode, pkgs, pkgtype) "
                                    "values (?, ?, ?, ?, 'ZZZZZ', 'ZZZ', ?, 'PKG')"),
                     {ref, i, hsPrefix + QString::number(i), QStringLiteral("GOODS %1 OF %2").arg(i).arg(ref), 10 * i}))
            return false;
    }
    return true;
}

// The rows of a selection as texts, for comparing two databases.
QList<QStringList> rows(const Database &db, const QString &sql)
{
    QList<QStringList> out;
    auto q = db.query(sql);
    while (q && q->next()) {
        QStringList row;
        for (int i = 0; i < q->record().count(); ++i)
            row << q->value(i).toString().trimmed();
        out << row;
    }
    return out;
}

QString filingColumns(const char *table, const char *prefix)
{
    QStringList columns;
    for (const Filing::Field *f : Filing::addedColumns(QLatin1String(table)))
        columns << QLatin1String(prefix) + QLatin1String(f->column);
    return columns.join(QStringLiteral(", "));
}

// The options the golden files were composed with.
WriteOptions writeOptions(bool older)
{
    WriteOptions o;
    o.iceGateUser = QLatin1String(test::GatewayUser);
    o.customHouseCode = older ? QLatin1String(test::CustomHouse) : QStringLiteral("INCCU1");
    o.testOrProduction = QStringLiteral("P");
    o.controlNumber = QStringLiteral("1667");
    o.written = QDateTime(QDate(2022, 10, 14), QTime(14, 0));
    return o;
}

} // namespace

// The data of today's arrival manifest travels with the voyage's XML files, is removed
// with it, and leaves the flat file as it was.
class TestFilingInterchange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The flat file of a voyage, in both layouts, is byte for byte the file of the same
    // voyage without any of the new fields filled.
    void flatFileUnchanged_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("older");
        for (const char *e : {"sqlite", "postgres"}) {
            QTest::addRow("%s: older layout", e) << QString::fromLatin1(e) << true;
            QTest::addRow("%s: ICES 1.5", e) << QString::fromLatin1(e) << false;
        }
    }
    void flatFileUnchanged()
    {
        QFETCH(QString, engine);
        QFETCH(bool, older);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        QVERIFY((older ? test::addGoldenVoyage(db) : test::addIces15Voyage(db)).isOk());
        QVERIFY(fillFilingColumns(db, "vesinfo", "Id"));
        QVERIFY(fillFilingColumns(db, "cargo", "id"));
        QVERIFY(fillFilingColumns(db, "contain", "autoid"));
        auto ids = db.query(QStringLiteral("select id from cargo"));
        while (ids && ids->next())
            QVERIFY(addItems(db, ids->value(0).toLongLong(), 2, QStringLiteral("848180")));
        QVERIFY(test::count(db, QStringLiteral("select count(*) from cargo where shpname is null or cnscode is null")) == 0);

        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFileInLayout(db, older ? olderLayout() : ices15Layout(), dir.path(),
                                                         older ? QStringLiteral("ABCD") : QStringLiteral("9V3523"),
                                                         older ? QStringLiteral("123E") : QStringLiteral("22021W"),
                                                         writeOptions(older));
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(test::readFile(r.path),
                 test::readFixture(older ? QStringLiteral("ABCD123E.igm") : QStringLiteral("9V352322021W_ices15.igm")));
    }

    // Export with every new column and the goods items, import into a second company:
    // all of it comes across under the new keys, and the flat files of both are the same.
    void roundTripWithFilingData_data() { test::addEngineRows(); }
    void roundTripWithFilingData()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(a, engine);
        QUARL_COMPANY_DB(b, engine);
        QVERIFY(test::addGoldenVoyage(a.db()).isOk());
        QVERIFY(fillFilingColumns(a.db(), "cargo", "id"));
        QVERIFY(fillFilingColumns(a.db(), "contain", "autoid"));
        QVERIFY(addItems(a.db(), 7, 2, QStringLiteral("848180")));
        QVERIFY(addItems(a.db(), 20, 1, QStringLiteral("390210")));
        QVERIFY(addItems(a.db(), 15, 3, QStringLiteral("111111"))); // another voyage: not exported
        QVERIFY(b.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (40, 'OTHER', '1', 'X')")));
        QTemporaryDir dir;
        const XmlExportResult e = generateXmlFiles(a.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"));
        QVERIFY2(e.outcome.isOk(), qPrintable(e.outcome.message));
        QCOMPARE(e.itemsPath, dir.filePath(QStringLiteral("cargoitem.xml")));
        QCOMPARE(e.items, 3);
        const XmlImportResult i = importXmlFiles(b.db(), e.cargoPath, e.containerPath, QStringLiteral("ABCD"),
                                                 QStringLiteral("123E"));
        QVERIFY2(i.outcome.isOk(), qPrintable(i.outcome.message));
        QCOMPARE(i.outcome.notices, QStringList());
        QCOMPARE(i.items, 3);

        const QString cargo = QStringLiteral("select blno, %1 from cargo where vslcode = 'ABCD' and voyno = '123E' "
                                             "order by blno").arg(filingColumns("cargo", ""));
        QCOMPARE(rows(b.db(), cargo), rows(a.db(), cargo));
        const QString boxes = QStringLiteral("select k.containno, %1 from contain k inner join cargo c on k.ref = c.id "
                                             "where c.vslcode = 'ABCD' and c.voyno = '123E' order by k.containno")
                                  .arg(filingColumns("contain", "k."));
        QCOMPARE(rows(b.db(), boxes), rows(a.db(), boxes));
        const QString items = QStringLiteral("select c.blno, i.itemseq, i.hscode, i.itemdesc, i.unocode, i.imocode, i.pkgs, "
                                             "i.pkgtype from cargoitem i inner join cargo c on i.ref = c.id "
                                             "where c.vslcode = 'ABCD' and c.voyno = '123E' order by c.blno, i.itemseq");
        QCOMPARE(rows(b.db(), items).size(), 3);
        QCOMPARE(rows(b.db(), items), rows(a.db(), items));
        // the items follow their lines' new keys
        QCOMPARE(test::count(b.db(), QStringLiteral("select count(*) from cargoitem i inner join cargo c on i.ref = c.id "
                                                    "where c.id > 40")),
                 3);
    }

    // Files of an installation without the new columns still import, the new columns
    // empty; a company not yet upgraded takes today's files and says what it leaves out.
    void acrossReleases_data() { test::addEngineRows(); }
    void acrossReleases()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        XmlImportResult i = importXmlFiles(t.db(), test::fixturePath(QStringLiteral("cargo_ado.xml")),
                                           test::fixturePath(QStringLiteral("contain_ado.xml")), QStringLiteral("OLD1"),
                                           QStringLiteral("9W"));
        QVERIFY2(i.outcome.isOk(), qPrintable(i.outcome.message));
        QCOMPARE(i.lines, 2);
        QCOMPARE(i.items, 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where cargotype is not null or "
                                                    "shpname is not null or cnscode is not null")),
                 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where sealtype is not null or "
                                                    "eqtype is not null")),
                 0);

        QUARL_COMPANY_DB(a, engine);
        QVERIFY(test::addGoldenVoyage(a.db()).isOk());
        QVERIFY(fillFilingColumns(a.db(), "cargo", "id"));
        QVERIFY(addItems(a.db(), 7, 2, QStringLiteral("848180")));
        QTemporaryDir dir;
        const XmlExportResult e = generateXmlFiles(a.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"));
        QVERIFY(e.outcome.isOk());
        QUARL_TEMP_DB(old, engine);
        Schema::CompanyOptions release210;
        release210.release210 = true;
        QVERIFY(Schema::createCompanyDatabase(old.db(), release210).isOk());
        i = importXmlFiles(old.db(), e.cargoPath, e.containerPath, QStringLiteral("ABCD"), QStringLiteral("123E"));
        QVERIFY2(i.outcome.isOk(), qPrintable(i.outcome.message));
        QCOMPARE(i.lines, 3);
        QVERIFY(i.outcome.notices.contains(QStringLiteral("Column shpname of cargo.xml is not in this database and was not imported.")));
        QVERIFY(i.outcome.notices.last().startsWith(QStringLiteral("The 2 goods item(s) of cargoitem.xml were not imported")));
    }

    // A goods items file of another export lying beside the files is never taken for theirs.
    void itemsOfAnotherExport_data() { test::addEngineRows(); }
    void itemsOfAnotherExport()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(a, engine);
        QUARL_COMPANY_DB(other, engine);
        QUARL_COMPANY_DB(b, engine);
        for (const Database *db : {&a.db(), &other.db()})
            QVERIFY(db->exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (1, 'V1', '1', ?)"),
                             {db == &a.db() ? QStringLiteral("MINE") : QStringLiteral("THEIRS")}));
        QVERIFY(addItems(other.db(), 1, 2, QStringLiteral("848180")));
        QTemporaryDir mine, theirs;
        QVERIFY(generateXmlFiles(a.db(), mine.path(), QStringLiteral("V1"), QStringLiteral("1")).outcome.isOk());
        QVERIFY(generateXmlFiles(other.db(), theirs.path(), QStringLiteral("V1"), QStringLiteral("1")).outcome.isOk());
        QVERIFY(QFile::remove(QDir(mine.path()).filePath(QStringLiteral("cargoitem.xml"))));
        QVERIFY(QFile::copy(QDir(theirs.path()).filePath(QStringLiteral("cargoitem.xml")),
                            QDir(mine.path()).filePath(QStringLiteral("cargoitem.xml"))));
        const XmlImportResult i = importXmlFiles(b.db(), QDir(mine.path()).filePath(QStringLiteral("cargo.xml")),
                                                 QDir(mine.path()).filePath(QStringLiteral("contain.xml")),
                                                 QStringLiteral("V1"), QStringLiteral("1"));
        QCOMPARE(i.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(i.outcome.message.contains(QStringLiteral("goods of B/L THEIRS")), qPrintable(i.outcome.message));
        QCOMPARE(test::voyageRows(b.db()), 0);
        QCOMPARE(test::count(b.db(), QStringLiteral("select count(*) from cargoitem")), 0);
    }

    // Remove Data takes the goods items of the voyage's lines in its transaction, and no others.
    void removalTakesItems_data() { test::addEngineRows(); }
    void removalTakesItems()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(addItems(t.db(), 7, 2, QStringLiteral("848180")));
        QVERIFY(addItems(t.db(), 15, 1, QStringLiteral("390210"))); // voyage 123F
        const RemovalResult r = removeVoyage(t.db(), QStringLiteral("ABCD"), QStringLiteral("123E"), false,
                                             [](const QString &) { return true; });
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.items, 2);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargoitem")), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select ref from cargoitem")), 15);
    }
};

QUARL_TEST(TestFilingInterchange)
#include "tst_filinginterchange.moc"
