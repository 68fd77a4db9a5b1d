#include "common/igmtestdata.h"
#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmail.h"
#include "common/testmain.h"

#include "core/installation.h"
#include "core/preparedreportdata.h"
#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "reports/printerchoice.h"
#include "reports/reportexport.h"
#include "reports/ui/frmprint.h"
#include "reports/ui/printersetupdialog.h"
#include "reports/ui/reportscreen.h"
#include "sam/samfile.h"
#include "store/schema.h"
#include "store/session.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>

using namespace quarl;
using namespace quarl::reports;

namespace {

// A value that has broken reports before: accents, markup and RTF control characters.
const QString Awkward = QStringLiteral("G\u00e9n\u00e9rale & Fils <Ltd> {4} C:\\Dock");

// Files of this process grow to at most the given size while it lives, as if the disk
// were full: writes beyond it fail with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit l = m_saved;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

Status addCargo(const Database &db, qint64 id, const QString &vessel, const QString &voyage, qint64 lineNo,
                const QString &blNo, const QString &importer, const QString &pkgType = QStringLiteral("CTN"))
{
    return db.exec(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, "
                                  "portdest, impname, impadd1, naturecargo, itemtype, cargomove, pkgs, pkgtype, "
                                  "grosswt, unitwt, marks, gdesc) values (?, ?, ?, ?, 0, ?, ?, 'SGSIN', 'INNSA1', ?, "
                                  "'MAKER CHAMBERS, NARIMAN POINT', 'C', 'GC', 'LC', ?, ?, ?, 'KGS', ?, ?)"),
                   {id, vessel, voyage, lineNo, blNo, db.dialect().dateToDb(QDate(2026, 11, 2)), importer, 10 * id,
                    pkgType, 1000.5 * double(id), QStringLiteral("MARKS %1").arg(id),
                    QStringLiteral("GOODS OF LINE %1, ").arg(id).repeated(id % 7 == 0 ? 12 : 1)});
}

Status addContainer(const Database &db, qint64 ref, const QString &number, const QString &status)
{
    return db.exec(QStringLiteral("insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, constatus, "
                                  "conpkgs, conwt, isocode, socflag) values (?, 0, 0, ?, 'SEAL', 'AGT', ?, 5, 2.5, "
                                  "'22G1', 'N')"),
                   {ref, number, status});
}

Status addVessel(const Database &db, const QString &code)
{
    return db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt) values "
                                  "(?, 'MV QUARL STAR', 'IN', 12000, 8000)"),
                   {code});
}

// Voyage QSTAR/12: lines of ids 5 (stored as line 9, three containers) and 8 (line 2, none),
// a line of another voyage, and voyage NOVSL/1 whose vessel is not in the vessel master.
Status addSmallVoyages(const Database &db)
{
    for (Status s : {addVessel(db, QStringLiteral("QSTAR")), addCargo(db, 5, "QSTAR", "12", 9, "BL-5", Awkward),
                     addCargo(db, 8, "QSTAR", "12", 2, "BL-8", "TATA", "ZZZ"), addCargo(db, 9, "QSTAR", "13", 1, "BL-9", "X"),
                     addCargo(db, 11, "NOVSL", "1", 4, "BL-11", "Y"), addContainer(db, 5, "ABCU0000005", "FCL"),
                     addContainer(db, 5, "ABCU0000006", "LCL"), addContainer(db, 5, "ABCU0000007", "FCL"),
                     addContainer(db, 9, "OTHU0000009", "FCL")}) {
        if (!s)
            return s;
    }
    return Status::ok();
}

QList<qint64> lineNumbers(const Database &db)
{
    QList<qint64> n;
    auto q = db.query(QStringLiteral("select lineno from cargo where vslcode = 'QSTAR' and voyno = '12' order by id"));
    while (q && q->next())
        n << q->value(0).toLongLong();
    return n;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Where each of texts is found in text, each after the one before; -1 for the first missing.
int missingInOrder(const QString &text, const QStringList &texts)
{
    qsizetype at = 0;
    for (int i = 0; i < texts.size(); ++i) {
        const qsizetype found = text.indexOf(texts[i], at);
        if (found < 0)
            return i;
        at = found + texts[i].size();
    }
    return -1;
}

QString squeezed(QString s)
{
    return s.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

// The hand-written SAM file's voyage GOLD / 024E: line 1 straight, line 2 consolidated (300
// packages, 5400 kg, one container) with house B/Ls HBLSIN0001 (100 packages) and
// HBLSIN0002 (200) in that container, lines 3 and 4 straight.
Status addConsolidatedVoyage(const Database &db)
{
    if (Status s = test::keepGoldenFiler(db); !s)
        return s;
    igm::SamImportOptions options;
    options.vessel = QStringLiteral("GOLD");
    const igm::SamImportResult in = importSamFile(db, test::samFixture(QStringLiteral("golden_small.json")), options,
                                                  [](const QString &) { return true; });
    if (!in.outcome.isOk())
        return in.outcome.failure;
    if (test::count(db, QStringLiteral("select count(*) from D_VESSEL_CD where VESSEL_CD = 'GOLD'")) == 0)
        return addVessel(db, QStringLiteral("GOLD"));
    return Status::ok();
}

// "B/L line sub-line master" of every line of GOLD / 024E in key order, the master as its B/L.
QStringList storedOutline(const Database &db)
{
    QStringList out;
    auto q = db.query(QStringLiteral("select c.blno, c.lineno, c.sublineno, m.blno from cargo c left join cargo m on "
                                     "c.masterid = m.id where c.vslcode = 'GOLD' and c.voyno = '024E' order by c.id"));
    while (q && q->next())
        out << QStringLiteral("%1 %2 %3 %4").arg(q->value(0).toString(), q->value(1).toString(), q->value(2).toString(),
                                                 q->value(3).toString()).trimmed();
    return q ? out : QStringList{q.failure().numberAndText()};
}

// The text of a report written as PDF and as RTF, each read back by a reader we did not write.
QStringList readBack(const ReportDocument &doc, const QString &folder)
{
    const QString pdf = folder + QStringLiteral("/r.pdf"), rtf = folder + QStringLiteral("/r.rtf");
    if (!writeReport(doc, ExportFormat::Pdf, pdf) || !writeReport(doc, ExportFormat::Rtf, rtf))
        return {};
    QTextDocument html;
    html.setHtml(run(QStringLiteral("unrtf"), {QStringLiteral("--html"), rtf}));
    return {squeezed(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})),
            squeezed(html.toPlainText())};
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsAndRenumbering_data() { test::addEngineRows(); }
    void rowsAndRenumbering()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(addSmallVoyages(t.db()).isOk());

        // Two outputs in a row number the lines 1..n both times and store the numbers.
        for (int round = 0; round < 2; ++round) {
            const Preparation p = prepareReportData(t.db(), {ReportKind::CheckList, "QSTAR", "12", {}});
            QVERIFY2(p.isOk(), qPrintable(p.failures.value(0).numberAndText()));
            QCOMPARE(lineNumbers(t.db()), (QList<qint64>{1, 2}));
            const ReportData &d = *p.data;
            QCOMPARE(d.rowCount(), 4); // three container rows of line 1, one empty row of line 2
            QCOMPARE(int(d.lines.size()), 2);
            QCOMPARE(d.lines[0].blNo, QStringLiteral("BL-5"));
            QCOMPARE(d.lines[0].impName, Awkward);
            QCOMPARE(d.lines[0].containers.size(), size_t(3));
            QCOMPARE(d.lines[0].containers[1].containNo, QStringLiteral("ABCU0000006"));
            QVERIFY(d.lines[1].containers.empty());
            QCOMPARE(d.vesselMaster.name, QStringLiteral("MV QUARL STAR"));
            const ReportTotals totals = d.totals();
            QCOMPARE(totals.packages, 130);
            QCOMPARE(totals.containers, 3);
            QCOMPARE(totals.containersByStatus.size(), 2);
            QCOMPARE(totals.containersByStatus[0].count, 2);
        }

        // A vessel missing from the vessel master leaves its lines out of the check-list,
        // while they are still numbered.
        Preparation missing = prepareReportData(t.db(), {ReportKind::CheckList, "NOVSL", "1", {}});
        QVERIFY(missing.isOk());
        QVERIFY(missing.data->lines.empty());
        QVERIFY(!missing.data->hasVessel);
        QCOMPARE(missing.data->voyageLines, 1);

        // The declaration: no voyage header, yet every line; the custom house without its
        // trailing blanks; a package type missing from the package master prints empty.
        Preparation dec = prepareReportData(t.db(), {ReportKind::CargoDeclaration, "QSTAR", "12", "INNSA1  "});
        QVERIFY(dec.isOk());
        QVERIFY(!dec.data->hasHeader);
        QCOMPARE(dec.data->rowCount(), 4);
        QCOMPARE(dec.data->cHouseCode, QStringLiteral("INNSA1"));
        QVERIFY(!dec.data->lines[0].pkgDesc.isEmpty());
        QVERIFY(dec.data->lines[1].pkgDesc.isEmpty());
    }

    // The files as readers we did not write see them: every B/L number and container
    // number in order, the totals, the right page count, and awkward texts as typed.
    // The check-list prints the shipper and the HS codes of the goods items of a line that
    // has them, and nothing for them on a line that has none.
    void shipperAndHsCodes_data() { test::addEngineRows(); }
    void shipperAndHsCodes()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(addSmallVoyages(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update cargo set shpname = 'EXAMPLE EXPORT CO LTD', shpaddr = '1 SAMPLE ROAD', "
                                           "shpcity = 'SHANGHAI', shpcntry = 'CN' where id = 5")).isOk());
        const QString item = QStringLiteral("insert into cargoitem (ref, itemseq, hscode, itemdesc) values (?, ?, ?, ?)");
        QVERIFY(t.db().exec(item, {5, 2, QStringLiteral("84818090"), QStringLiteral("GATE VALVES")}).isOk());
        QVERIFY(t.db().exec(item, {5, 1, QStringLiteral("848180"), QStringLiteral("BALL VALVES")}).isOk());
        QVERIFY(t.db().exec(item, {5, 3, QVariant(), QStringLiteral("NOT YET CLASSIFIED")}).isOk());
        QVERIFY(t.db().exec(item, {9, 1, QStringLiteral("111111"), QStringLiteral("ANOTHER VOYAGE")}).isOk());
        const Preparation p = prepareReportData(t.db(), {ReportKind::CheckList, "QSTAR", "12", {}});
        QVERIFY(p.isOk());
        QCOMPARE(p.data->lines.size(), size_t(2));
        const ReportLine &withParties = p.data->lines.at(0); // numbered in key order: id 5 first
        QCOMPARE(withParties.blNo, QStringLiteral("BL-5"));
        QCOMPARE(withParties.shipper, QStringLiteral("EXAMPLE EXPORT CO LTD, 1 SAMPLE ROAD, SHANGHAI, CN"));
        QCOMPARE(withParties.hsCodes, (QStringList{"848180 BALL VALVES", "84818090 GATE VALVES"}));
        QVERIFY(p.data->lines.at(1).shipper.isEmpty() && p.data->lines.at(1).hsCodes.isEmpty());

        const ReportDocument doc(p.data, reportTexts(ReportKind::CheckList, "QSTAR", "12", QStringLiteral("Q")),
                                 defaultPageLayout(ReportKind::CheckList));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("r.pdf")), rtf = dir.filePath(QStringLiteral("r.rtf"));
        QVERIFY(writeReport(doc, ExportFormat::Pdf, pdf).isOk());
        QVERIFY(writeReport(doc, ExportFormat::Rtf, rtf).isOk());
        QTextDocument html;
        html.setHtml(run(QStringLiteral("unrtf"), {QStringLiteral("--html"), rtf}));
        for (const QString &text : {squeezed(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})),
                                    squeezed(html.toPlainText())}) {
            QCOMPARE(missingInOrder(text, {"BL-5", "Shipper", "EXAMPLE EXPORT CO LTD, 1 SAMPLE ROAD", "Description",
                                           "HS codes", "848180 BALL VALVES; 84818090 GATE VALVES", "BL-8", "Description"}),
                     -1);
            QCOMPARE(text.count(QStringLiteral("Shipper")), 1);
            QCOMPARE(text.count(QStringLiteral("HS codes")), 1);
            QVERIFY(!text.contains(QStringLiteral("ANOTHER VOYAGE")));
        }
    }

    // House B/Ls print under their master line as 2/1 and 2/2 with their own B/L, date,
    // consignee, packages and weight; the totals count each package, kilogram and container
    // once; printing twice leaves every stored number and link as it was.
    void housesUnderTheirMaster_data() { test::addEngineRows(); }
    void housesUnderTheirMaster()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QUARL_VERIFY_OK(addConsolidatedVoyage(t.db()));
        const QStringList stored{"MSCSHA0001 1 0", "MSCSIN0002 2 0", "HBLSIN0001 2 1 MSCSIN0002", "HBLSIN0002 2 2 MSCSIN0002",
                                 "MSCSIN0003 3 0", "MSCSIN0004 4 0"};
        QCOMPARE(storedOutline(t.db()), stored);
        // the houses keyed before their master: they still print after it
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set id = id + 1000 where blno = 'MSCSIN0002'")));
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set masterid = masterid + 1000 where masterid is not null")));
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update contain set ref = ref + 1000 where ref in (select id - 1000 from cargo "
                                                   "where blno = 'MSCSIN0002')")));
        const QStringList moved{"MSCSHA0001 1 0", "HBLSIN0001 2 1 MSCSIN0002", "HBLSIN0002 2 2 MSCSIN0002", "MSCSIN0003 3 0",
                                "MSCSIN0004 4 0", "MSCSIN0002 2 0"};
        const QStringList renumbered{"MSCSHA0001 1 0", "HBLSIN0001 4 1 MSCSIN0002", "HBLSIN0002 4 2 MSCSIN0002",
                                     "MSCSIN0003 2 0", "MSCSIN0004 3 0", "MSCSIN0002 4 0"};
        QCOMPARE(storedOutline(t.db()), moved);

        for (int round = 0; round < 2; ++round) {
            const Preparation p = prepareReportData(t.db(), {ReportKind::CheckList, "GOLD", "024E", {}});
            QVERIFY2(p.isOk(), qPrintable(p.failures.value(0).numberAndText()));
            QCOMPARE(storedOutline(t.db()), renumbered);
            const ReportData &d = *p.data;
            QStringList order;
            for (const ReportLine &l : d.lines)
                order << lineLabel(l) + QLatin1Char(' ') + (l.isHouse() ? houseBlNo(l) : l.blNo);
            QCOMPARE(order, (QStringList{"1 MSCSHA0001", "2 MSCSIN0003", "3 MSCSIN0004", "4 MSCSIN0002", "4/1 HBLSIN0001",
                                         "4/2 HBLSIN0002"}));
            QCOMPARE(d.lines[4].masterBlNo, QStringLiteral("MSCSIN0002"));
            QCOMPARE(d.lines[3].houses, 2);
            QCOMPARE(d.voyageLines, 6);
            const ReportTotals totals = d.totals();
            QCOMPARE(totals.lines, 4);
            QCOMPARE(totals.houses, 2);
            QCOMPARE(totals.packages, 2301);        // 2601 with the houses' again
            QCOMPARE(totals.grossWeight.size(), 1);
            QCOMPARE(totals.grossWeight[0].weight, 64500.5);
            QCOMPARE(totals.containers, 5);          // the houses' box is line 4's

            const ReportDocument doc(p.data, reportTexts(ReportKind::CheckList, "GOLD", "024E", QStringLiteral("Q")),
                                     defaultPageLayout(ReportKind::CheckList));
            QTemporaryDir dir;
            const QStringList texts = readBack(doc, dir.path());
            QCOMPARE(texts.size(), 2);
            for (const QString &text : texts) {
                const int missing = missingInOrder(text, {"Line 3 B/L No. MSCSIN0004", "Line 4 B/L No. MSCSIN0002", "Consolidated: 2 house B/Ls",
                                               "GAMMA LOGISTICS", "300 PKG", "5400.000 KGS", "TGHU3456780",
                                               "Line 4/1 House B/L No. HBLSIN0001 Date 28/02/2025 of B/L MSCSIN0002",
                                               "ALPHA TRADERS", "100 PKG", "1800.000 KGS", "TGHU3456780",
                                               "Line 4/2 House B/L No. HBLSIN0002 Date 28/02/2025 of B/L MSCSIN0002",
                                               "BETA RUBBER", "200 PKG", "3600.000 KGS", "Totals for GOLD Voy 024E",
                                               "Bills of lading 4", "House B/Ls 2 (counted in their master lines)", "Packages 2301",
                                               "64500.500 KGS", "Containers 5"});
                QVERIFY2(missing == -1, qPrintable(QString::number(missing) + QLatin1Char(' ') + text.right(500)));
                QVERIFY2(!text.contains(QStringLiteral("Line 5")), qPrintable(text));
            }
        }

        // The declaration: a row of its own for each house, the header's items the lines as filed.
        const Preparation dec = prepareReportData(t.db(), {ReportKind::CargoDeclaration, "GOLD", "024E", "INNSA1"});
        QVERIFY(dec.isOk());
        QCOMPARE(storedOutline(t.db()), renumbered);
        QCOMPARE(dec.data->masterLines(), 4);
        const ReportDocument doc(dec.data, reportTexts(ReportKind::CargoDeclaration, "GOLD", "024E", QStringLiteral("Q")),
                                 defaultPageLayout(ReportKind::CargoDeclaration));
        QTemporaryDir dir;
        for (const QString &text : readBack(doc, dir.path())) {
            QCOMPARE(missingInOrder(text, {"Total items", "4", "MSCSIN0002", "Consolidated: 2", "4/1", "ALPHA TRADERS", "100 PKG",
                                           "4/2", "BETA RUBBER", "200 PKG", "Packages 2301"}),
                     -1);
            const qsizetype first = text.indexOf(QStringLiteral(" 4/1 ")), second = text.indexOf(QStringLiteral(" 4/2 "));
            const QString house1 = text.mid(first, second - first), house2 = text.mid(second, text.indexOf(QStringLiteral("Totals")) - second);
            for (const QString &part : {QStringLiteral("House B/L"), QStringLiteral("28/02/2025"), QStringLiteral("of B/L MSCSIN0002")})
                QVERIFY(house1.contains(part) && house2.contains(part));
            QVERIFY(house1.contains(QStringLiteral("HBLSIN0001")) && house2.contains(QStringLiteral("HBLSIN0002")));
        }
    }

    // A voyage without house B/Ls (one of its lines with a house B/L number of its own)
    // prints as it did before house B/Ls printed under their master: the RTF files are
    // byte for byte those that release wrote.
    void straightVoyagesPrintAsBefore_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("fixture");
        QTest::newRow("check-list") << int(ReportKind::CheckList) << QStringLiteral("checklist_straight.rtf");
        QTest::newRow("cargo declaration") << int(ReportKind::CargoDeclaration) << QStringLiteral("cargodec_straight.rtf");
    }
    void straightVoyagesPrintAsBefore()
    {
        QFETCH(int, kind);
        QFETCH(QString, fixture);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(addSmallVoyages(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update cargo set hblno = 'HB-8', hbldt = bldt where id = 8")).isOk());
        const ReportKind k = ReportKind(kind);
        const Preparation p = prepareReportData(t.db(), {k, "QSTAR", "12", "INIXY1"});
        QVERIFY(p.isOk());
        ReportTexts texts;
        texts.heading = QStringLiteral("QUARL SHIPPING AGENCY");
        texts.title = reportTitle(k, "QSTAR", "12");
        texts.printedAt = QDateTime(QDate(2026, 11, 5), QTime(9, 30));
        QTemporaryDir dir;
        const QString rtf = dir.filePath(fixture);
        QUARL_VERIFY_OK(writeRtf(*p.data, texts, defaultPageLayout(k), rtf));
        const QByteArray expected = test::readFile(QStringLiteral(QUARL_FIXTURES "/reports/") + fixture);
        QVERIFY2(!expected.isEmpty(), qPrintable(fixture));
        QVERIFY(test::readFile(rtf) == expected);
    }

    void pdfAndRtfThroughOtherReaders_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("check-list") << int(ReportKind::CheckList);
        QTest::newRow("cargo declaration") << int(ReportKind::CargoDeclaration);
    }
    void pdfAndRtfThroughOtherReaders()
    {
        QFETCH(int, kind);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(addVessel(t.db(), "QSTAR").isOk());
        QStringList expected;
        for (int id = 1; id <= 45; ++id) {
            QVERIFY(addCargo(t.db(), id, "QSTAR", "12", 0, QStringLiteral("BL%1X").arg(id, 4, 10, QLatin1Char('0')),
                             id == 3 ? Awkward : QStringLiteral("IMPORTER %1").arg(id))
                        .isOk());
            expected << QStringLiteral("BL%1X").arg(id, 4, 10, QLatin1Char('0'));
            for (int k = 0; k < id % 9; ++k) {
                const QString no = QStringLiteral("QSTU%1%2").arg(id, 4, 10, QLatin1Char('0')).arg(k, 3, 10, QLatin1Char('0'));
                QVERIFY(addContainer(t.db(), id, no, k % 3 ? QStringLiteral("FCL") : QStringLiteral("LCL")).isOk());
                expected << no;
            }
        }
        const ReportKind k = ReportKind(kind);
        const Preparation p = prepareReportData(t.db(), {k, "QSTAR", "12", "INIXY1"});
        QVERIFY(p.isOk());
        const ReportTotals totals = p.data->totals();
        QCOMPARE(totals.containers, 180);
        expected << QStringLiteral("Totals for QSTAR Voy 12") << QStringLiteral("Bills of lading")
                 << QStringLiteral("45") << QStringLiteral("Packages") << QString::number(totals.packages)
                 << QStringLiteral("1035517.500 KGS") << QStringLiteral("180") << QStringLiteral("LCL 75, FCL 105");
        const ReportDocument doc(p.data, reportTexts(k, "QSTAR", "12", Awkward), defaultPageLayout(k));
        QVERIFY(doc.pageCount() > 3);

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("r.pdf")), rtf = dir.filePath(QStringLiteral("r.rtf"));
        QVERIFY(writeReport(doc, ExportFormat::Pdf, pdf).isOk());
        QVERIFY(writeReport(doc, ExportFormat::Rtf, rtf).isOk());

        const QString info = run(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(doc.pageCount()))), qPrintable(info));
        QVERIFY(info.contains(k == ReportKind::CheckList ? QStringLiteral("595 x 842 pts (A4)") : QStringLiteral("842 x 595 pts (A4)")));
        const QString text = squeezed(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
        QCOMPARE(missingInOrder(text, expected), -1);
        for (int n = 1; n <= doc.pageCount(); ++n)
            QVERIFY(text.contains(QStringLiteral("Page %1 of %2").arg(n).arg(doc.pageCount())));
        QVERIFY2(text.contains(Awkward), qPrintable(text.left(2000)));
        // No page starts with containers of a bill of lading whose heading is on the page before.
        const QStringList pages = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                                      .split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), doc.pageCount());
        for (int n = 0; n < pages.size(); ++n) {
            const qsizetype container = pages[n].indexOf(QStringLiteral("QSTU"));
            const qsizetype heading = pages[n].indexOf(QRegularExpression(QStringLiteral("BL\\d{4}X")));
            QVERIFY2(container < 0 || (heading >= 0 && heading < container), qPrintable(QString::number(n + 1)));
        }

        // unrtf's text output knows only Latin-1; its HTML output keeps every character.
        QTextDocument html;
        html.setHtml(run(QStringLiteral("unrtf"), {QStringLiteral("--html"), rtf}));
        const QString rtfText = squeezed(html.toPlainText());
        QCOMPARE(missingInOrder(rtfText, expected), -1);
        QVERIFY2(rtfText.contains(Awkward), qPrintable(rtfText.left(3000)));
        if (k == ReportKind::CargoDeclaration)
            QVERIFY(text.contains(QStringLiteral("INIXY1")) && rtfText.contains(QStringLiteral("INIXY1")));

        // The disk fills up halfway through: the failure is reported and no file is left.
        Status full;
        {
            FileSizeLimit limit(rlim_t(QFileInfo(rtf).size() / 2));
            full = writeReport(doc, ExportFormat::Rtf, dir.filePath(QStringLiteral("full.rtf")));
        }
        QVERIFY(!full);
        QVERIFY2(full.failure().description.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(full.failure().description));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({QStringLiteral("r.pdf"), QStringLiteral("r.rtf")}));
    }

    void printerChoice()
    {
        test::TempHome home;
        // Nothing stored: the report's own page.
        QPageLayout page = applyPrinterChoice(defaultPageLayout(ReportKind::CargoDeclaration),
                                              storedPrinterChoice(ReportKind::CargoDeclaration));
        QCOMPARE(page.orientation(), QPageLayout::Landscape);
        QCOMPARE(page.pageSize().id(), QPageSize::A4);

        // Printer Setup of the check-list writes its own section only, in Windows numbers.
        QVERIFY(WriteSetting("PrinterLand", "Printer", "Office Laser"));
        QPageLayout letter(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF());
        QVERIFY(storePrinterChoice(ReportKind::CheckList, QStringLiteral("Dot Matrix"), letter));
        QCOMPARE(ReadSetting("Printer", "Paper"), QStringLiteral("1"));
        QCOMPARE(ReadSetting("Printer", "Orient"), QStringLiteral("2"));
        QCOMPARE(ReadSetting("PrinterLand", "Printer"), QStringLiteral("Office Laser"));
        QVERIFY(ReadSetting("PrinterLand", "Paper").isEmpty());
        page = applyPrinterChoice(defaultPageLayout(ReportKind::CheckList), storedPrinterChoice(ReportKind::CheckList));
        QCOMPARE(page.pageSize().id(), QPageSize::Letter);
        QCOMPARE(page.orientation(), QPageLayout::Landscape);
        QCOMPARE(storedPrinterChoice(ReportKind::CheckList).printer, QStringLiteral("Dot Matrix"));

        // Empty keys leave the page as it was; an unknown paper number too.
        QVERIFY(WriteSetting("Printer", "Paper", "") && WriteSetting("Printer", "Orient", ""));
        page = applyPrinterChoice(defaultPageLayout(ReportKind::CheckList), storedPrinterChoice(ReportKind::CheckList));
        QCOMPARE(page.pageSize().id(), QPageSize::A4);
        QCOMPARE(page.orientation(), QPageLayout::Portrait);
        QVERIFY(WriteSetting("Printer", "Paper", "999"));
        QCOMPARE(applyPrinterChoice(defaultPageLayout(ReportKind::CheckList), storedPrinterChoice(ReportKind::CheckList))
                     .pageSize()
                     .id(),
                 QPageSize::A4);

        QCOMPARE(mailExportFormat(QString()), ExportFormat::Rtf);
        QCOMPARE(mailExportFormat(QStringLiteral("0")), ExportFormat::Rtf);
        QCOMPARE(mailExportFormat(QStringLiteral("1")), ExportFormat::Pdf);
        QCOMPARE(mailExportFileName(ExportFormat::Pdf), QStringLiteral("Ledger.pdf"));
    }

    // On a machine without a printer, both report screens put their paper into a PDF file:
    // the check-list through "Save as PDF..." chosen beside the printers, the declaration
    // after the question; the declaration names the office's custom house and the lines
    // it lists, the check-list the weight stored.
    void printToPdfWithoutPrinter()
    {
        test::TempHome home;
        QTemporaryDir dir;
        Settings::setCustomHouseCode(QStringLiteral("INNSA1"));
        QVERIFY(WriteSetting("Printer", "Printer", QLatin1String(SaveAsPdf)));
        QVERIFY(WriteSetting("PrinterLand", "Printer", "No Such Printer"));
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(addSmallVoyages(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update contain set conwt = 9.0005 where containno = 'ABCU0000006'")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname, portarrival, terminalop, TotItems) "
                                           "values ('QSTAR', '12', 'MV QUARL STAR', 'INNSA1', 'NSICT', 0)")).isOk());
        ScriptedPrompter prompter;
        const Session saved = Session::current();
        Session::current().connection = t.db();

        PrinterSetupDialog setup(QLatin1String(SaveAsPdf), defaultPageLayout(ReportKind::CheckList));
        QCOMPARE(setup.printerName(), QLatin1String(SaveAsPdf));

        frmCheckList list;
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTest::keyClicks(list.txtFields(4), QStringLiteral("qstar"));
        list.txtFields(5)->setText(QStringLiteral("12"));
        const QString listPdf = dir.filePath(QStringLiteral("check-list"));
        prompter.answerFile(listPdf);
        list.findChild<QPushButton *>(QStringLiteral("cmdDprint"))->click();
        QCOMPARE(prompter.events().first().kind, ScriptedPrompter::Kind::SaveFile);
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("The report is saved as %1.pdf.").arg(listPdf)});
        const QString listText = squeezed(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), listPdf + QStringLiteral(".pdf"), QStringLiteral("-")}));
        QVERIFY2(listText.contains(QStringLiteral("Check-List for QSTAR Voy 12")), qPrintable(listText.left(500)));
        QVERIFY2(listText.contains(QStringLiteral("Weight (t)")) && listText.contains(QStringLiteral("9.0005")),
                 qPrintable(listText));

        frmCargoDec dec;
        QCOMPARE(dec.txtFields(6)->text(), QStringLiteral("INNSA1"));
        dec.txtFields(4)->setText(QStringLiteral("QSTAR"));
        dec.txtFields(5)->setText(QStringLiteral("12"));
        const QString decPdf = dir.filePath(QStringLiteral("declaration.pdf"));
        prompter.clear();
        prompter.answerYes();
        prompter.answerFile(decPdf);
        dec.findChild<QPushButton *>(QStringLiteral("cmdDprint"))->click();
        QCOMPARE(prompter.events().first().text,
                 QStringLiteral("75  No printer is available under the name \"No Such Printer\". Save the report as PDF instead ?"));
        const QString decText = squeezed(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), decPdf, QStringLiteral("-")}));
        QVERIFY2(decText.contains(QStringLiteral("INNSA1")) && decText.contains(QStringLiteral("NSICT"))
                     && !decText.contains(QStringLiteral("INIXY1")),
                 qPrintable(decText.left(1500)));
        // the declaration counts the lines it lists, whatever the header stored
        const QString rtf = dir.filePath(QStringLiteral("declaration.rtf"));
        QVERIFY(writeReport(*dec.lastDocument(), ExportFormat::Rtf, rtf).isOk());
        QTextDocument html;
        html.setHtml(run(QStringLiteral("unrtf"), {QStringLiteral("--html"), rtf}));
        QVERIFY2(squeezed(html.toPlainText()).contains(QStringLiteral("Total items 2")), qPrintable(squeezed(html.toPlainText())));
        Session::current() = saved;
    }

    // Through the real screens: overtype, two previews, the preview window, and the error
    // forms of the two reports when the data cannot be read.
    void screens()
    {
        test::TempHome home;
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(addSmallVoyages(t.db()).isOk());
        ScriptedPrompter prompter;
        const Session saved = Session::current();
        Session::current().connection = t.db();
        Session::current().companyName = QStringLiteral("Quarl Shipping Agencies");
        PreparedReportData held;
        PreparedReportData::setCurrent(&held);

        frmCheckList screen;
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        QLineEdit *vessel = screen.txtFields(4);
        QCOMPARE(vessel->objectName(), QStringLiteral("txtFields(4)"));
        QVERIFY(vessel->hasFocus());
        QTest::keyClicks(vessel, QStringLiteral("QXTAR"));
        vessel->setCursorPosition(1);
        QTest::keyClicks(vessel, QStringLiteral("S"));
        QCOMPARE(vessel->text(), QStringLiteral("QSTAR")); // typed over, not pushed in
        QTest::keyClick(vessel, Qt::Key_Backspace);
        QCOMPARE(vessel->text(), QStringLiteral("QTAR"));
        vessel->setText(QStringLiteral("QSTAR"));
        QTest::keyClick(vessel, Qt::Key_Return);
        QVERIFY(screen.txtFields(5)->hasFocus());
        QTest::keyClicks(screen.txtFields(5), QStringLiteral("12"));

        auto *preview = screen.findChild<QPushButton *>(QStringLiteral("cmdPrint"));
        for (int round = 0; round < 2; ++round) {
            QVERIFY(t.db().exec(QStringLiteral("update cargo set lineno = 7")).isOk());
            preview->click();
            QCOMPARE(lineNumbers(t.db()), (QList<qint64>{1, 2}));
        }
        QVERIFY(prompter.messages().isEmpty());
        frmPrint *window = frmPrint::existing();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Check-List"));
        QCOMPARE(window->zoom(), 1.0);
        QCOMPARE(window->document()->texts().heading, QStringLiteral("Quarl Shipping Agencies"));
        QCOMPARE(window->document()->texts().title, QStringLiteral("Check-List for QSTAR Voy 12"));
        QCOMPARE(held.report().get(), &window->document()->data());
        QTest::keyClick(window, Qt::Key_End);
        QCOMPARE(window->currentPage(), window->document()->pageCount() - 1);
        if (const QString dir = qEnvironmentVariable("QUARL_SCREENSHOT_DIR"); !dir.isEmpty()) {
            window->resize(900, 700);
            QTest::keyClick(window, Qt::Key_Home);
            QVERIFY(screen.grab().save(dir + QStringLiteral("/frmCheckList.png")));
            QVERIFY(window->grab().save(dir + QStringLiteral("/frmPrint.png")));
        }

        // Email Report: rich text or PDF after Database/Eformat, each under its own extension,
        // through the test command's SMTP server.
        test::TestSmtp smtp;
        QString why;
        QVERIFY2(test::testSmtp(&smtp, &why), qPrintable(why));
        Settings::setMailHost(smtp.host);
        Settings::setMailPort(QString::number(smtp.port));
        Settings::setMailSecurity(QStringLiteral("none"));
        Settings::setMailFrom(QStringLiteral("desk@quarl.example"));
        screen.txtFields(0)->setText(QStringLiteral("agent@example.in"));
        for (const QString &eformat : {QString(), QStringLiteral("1")}) {
            Settings::setEmailFormat(eformat);
            const QString token = QStringLiteral("CL%1-%2").arg(QDateTime::currentMSecsSinceEpoch()).arg(eformat);
            screen.txtFields(2)->setText(QStringLiteral("Check-list ") + token);
            prompter.clear();
            screen.findChild<QPushButton *>(QStringLiteral("cmdEmail"))->click();
            QCOMPARE(prompter.messages(), QStringList{QStringLiteral("The mail is sent to agent@example.in.")});
            const QList<test::ReceivedMail> got = test::receivedMail(smtp.maildir, token);
            QCOMPARE(got.size(), 1);
            const QString name = eformat.isEmpty() ? QStringLiteral("Ledger.rtf") : QStringLiteral("Ledger.pdf");
            QCOMPARE(got.first().attachments.value(0).fileName, name);
            QFile sent(Installation::filePath(name));
            QVERIFY(sent.open(QIODevice::ReadOnly));
            QCOMPARE(got.first().attachments.value(0).data, sent.readAll());
            QVERIFY(got.first().attachments.value(0).data.startsWith(eformat.isEmpty() ? "{\\rtf1" : "%PDF"));
        }

        prompter.clear();

        // The data cannot be read: the check-list says so once and shows nothing new;
        // the declaration reports each failing step with three blanks and goes on.
        QVERIFY(t.db().exec(QStringLiteral("drop table contain")).isOk());
        const auto before = window->document();
        preview->click();
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY(prompter.messages().first().contains(QRegularExpression(QStringLiteral("^\\S+  \\S"))));
        QCOMPARE(window->document(), before);

        // The Reports menu and its toolbar button open these screens by name.
        std::unique_ptr<QWidget> opened(createScreen(QStringLiteral("frmCargoDec")));
        QVERIFY(qobject_cast<frmCargoDec *>(opened.get()));
        QVERIFY(qobject_cast<frmCheckList *>(std::unique_ptr<QWidget>(createScreen(QStringLiteral("frmCheckList"))).get()));

        frmCargoDec dec;
        QCOMPARE(dec.txtFields(6)->text(), QStringLiteral("INIXY1"));
        dec.txtFields(4)->setText(QStringLiteral("QSTAR"));
        dec.txtFields(5)->setText(QStringLiteral("12"));
        prompter.clear();
        dec.findChild<QPushButton *>(QStringLiteral("cmdPrint"))->click();
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY(prompter.messages().first().contains(QRegularExpression(QStringLiteral("^\\S+   \\S"))));
        QCOMPARE(window->windowTitle(), QStringLiteral("Cargo Declaration"));
        QVERIFY(window->document()->data().lines.empty());

        window->close();
        PreparedReportData::setCurrent(nullptr);
        Session::current() = saved;
    }
};

QUARL_TEST(TestReports)
#include "tst_reports.moc"
