#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"
#include "common/igmtestdata.h"
#include "common/strictreading.h"

#include "filing/igmcheck.h"
#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "filing/layouts.h"
#include "flatfile/flatfile.h"
#include "flatfile/flatlayouts.h"
#include "manifest/igmmessages.h"
#include "manifest/layout.h"
#include "manifest/manifeststore.h"
#include "store/schema.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

// A layout of this test alone: a first line "PLAIN MANIFEST 1", then lines of fields
// separated by "|": the voyage "H|vessel|voyage|lines", a bill of lading
// "L|line|B/L|DDMMYYYY|packages|nature", a container "K|line|number|packages|status", and "END".
class PlainLayout : public Layout
{
public:
    QString name() const override { return QStringLiteral("plain"); }
    QString caption() const override { return QStringLiteral("Plain lines"); }
    Recognition recognise(const QByteArray &line, QString *) const override
    {
        return line == "PLAIN MANIFEST 1" ? Recognition::Yes : Recognition::No;
    }
    bool read(QIODevice &in, ManifestSink &sink, ReadContext &cx) const override
    {
        Flat::Lines lines(in, cx);
        QByteArray raw;
        bool header = true;
        for (;;) {
            switch (lines.next(&raw)) {
            case Flat::Lines::Next::Stop:
                return false;
            case Flat::Lines::Next::End:
                return lines.endsBefore("END");
            case Flat::Lines::Next::Line:
                break;
            }
            if (header) {
                header = false;
                continue;
            }
            if (raw == "END")
                return sink.end();
            const QStringList f = QString::fromLatin1(raw).split(QLatin1Char('|'));
            const qint64 n = lines.number();
            auto take = [&](auto field, auto &row) {
                return Flat::take(field, f.value(field.number - 1), row, n, cx, [&] { return label(field.column); });
            };
            if (f.first() == QLatin1String("H") && f.size() == 4) {
                VoyageHeader v;
                v.fileLine = n;
                if (!take(Flat::Field<VoyageColumn>{2, VoyageColumn::Code}, v) || !take(Flat::Field<VoyageColumn>{3, VoyageColumn::Voyage}, v)
                    || !take(Flat::Field<VoyageColumn>{4, VoyageColumn::TotalItems, Format::Kind::Total}, v))
                    return false;
                VesselMaster master;
                master.code = f.at(1);
                std::vector<VoyageHeader> headers;
                headers.push_back(std::move(v));
                if (!sink.headers(std::move(headers), std::move(master)))
                    return false;
            } else if (f.first() == QLatin1String("L") && f.size() == 6) {
                Bill l;
                l.fileLine = n;
                for (const Flat::Field<BillColumn> &field : LineTable) {
                    if (!take(field, l))
                        return false;
                }
                l[BillColumn::SubLineNo] = qint64(0);
                if (!sink.bill(std::move(l)))
                    return false;
            } else if (f.first() == QLatin1String("K") && f.size() == 5) {
                Container c;
                c.fileLine = n;
                for (const Flat::Field<ContainerColumn> &field : ContainerTable) {
                    if (!take(field, c))
                        return false;
                }
                if (!sink.container(std::move(c)))
                    return false;
            } else if (!cx.raise(Flat::layoutProblem(n, QStringLiteral("Line %1 of the file is no record.").arg(n),
                                                     QStringLiteral("No record.")))) {
                return false;
            }
        }
    }
    // Containers after every line, as the older layout files them.
    class Writer : public ManifestWriter
    {
    public:
        explicit Writer(QIODevice &out) : m_out(out) {}
        bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&) override
        {
            const VoyageHeader &h = headers.front();
            m_lines = "PLAIN MANIFEST 1\nH|" + h.text(VoyageColumn::Code).toLatin1() + '|' + h.text(VoyageColumn::Voyage).toLatin1() + '|'
                      + QByteArray::number(h[VoyageColumn::TotalItems].toLongLong()) + '\n';
            return true;
        }
        bool bill(Bill &&l) override
        {
            m_lines += "L|" + QByteArray::number(l[BillColumn::LineNo].toLongLong()) + '|' + l.bill().toLatin1() + '|';
            Format::appendDate(m_lines, l.date(BillColumn::BlDate));
            m_lines += '|';
            Format::appendValue(m_lines, l[BillColumn::Pkgs]);
            m_lines += '|' + l.text(BillColumn::Nature).toLatin1() + '\n';
            return true;
        }
        bool container(Container &&c) override
        {
            m_containers += "K|" + QByteArray::number(c[ContainerColumn::LineNo].toLongLong()) + '|' + c.text(ContainerColumn::Number).toLatin1() + '|';
            Format::appendValue(m_containers, c[ContainerColumn::Pkgs]);
            m_containers += '|' + c.text(ContainerColumn::Status).toLatin1() + '\n';
            return true;
        }
        bool end() override
        {
            if (m_out.write(m_lines + m_containers + "END\n") < 0)
                return fail(Failure(ErrorNumber::PathFileAccess, m_out.errorString()));
            return true;
        }

    private:
        QIODevice &m_out;
        QByteArray m_lines;
        QByteArray m_containers;
    };
    std::unique_ptr<ManifestWriter> writer(QIODevice &out, const WriteOptions &, QStringList *) const override
    {
        return std::make_unique<Writer>(out);
    }
    using Layout::label;
    QString label(BillColumn c) const override { return QStringLiteral("plain field %1").arg(int(c)); }

private:
    static constexpr Flat::Field<BillColumn> LineTable[] = {{2, BillColumn::LineNo, Format::Kind::Count}, {3, BillColumn::BlNo},
                                                   {4, BillColumn::BlDate, Format::Kind::Date}, {5, BillColumn::Pkgs, Format::Kind::Count},
                                                   {6, BillColumn::Nature}};
    static constexpr Flat::Field<ContainerColumn> ContainerTable[] = {{2, ContainerColumn::LineNo, Format::Kind::Count}, {3, ContainerColumn::Number},
                                                        {4, ContainerColumn::Pkgs, Format::Kind::Count}, {5, ContainerColumn::Status}};
};

WriteOptions gateway()
{
    WriteOptions o;
    o.iceGateUser = QLatin1String(test::GatewayUser);
    o.customHouseCode = QStringLiteral("INCCU1");
    o.controlNumber = QStringLiteral("7");
    return o;
}

Confirm yes()
{
    return [](const QString &) { return true; };
}

// The errors of a report, without where they stand: the same faults found from any source.
QStringList errors(const CheckReport &r)
{
    QStringList out;
    for (const Finding &f : r.findings) {
        if (f.isError())
            out << f.blNo + QLatin1String(": ") + f.text;
    }
    out.sort();
    return out;
}

} // namespace

class TestLayouts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A layout is its own file and one registration: found by name and by the first line
    // of its files, written, imported and checked through the same path as the others.
    void aLayoutIsOneFileAndOneRegistration()
    {
        QUARL_COMPANY_DB(source, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(target, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(source.db()).isOk());
        QTemporaryDir dir;
        const QByteArray plain = "PLAIN MANIFEST 1\nH|ABCD|123E|3\nL|1|BL-0007|05032009|640|C\nL|2|BL-0012|25122010|120|P\n"
                                 "L|3|BL-0020|30112009|0|CP\nK|1|ABCU1234560|400|FCL\nK|1|ABCU7654321|0|LCL\n"
                                 "K|3|XYZU0000001|10|FCL\nEND\n";
        {
            PlainLayout layout;
            const LayoutRegistration registration(layout);
            QCOMPARE(layoutNamed(QStringLiteral("PLAIN")), &layout);
            QVERIFY(layouts().contains(&layout));

            const IgmWriteResult w = generateIgmFileInLayout(source.db(), layout, dir.path(), QStringLiteral("ABCD"),
                                                             QStringLiteral("123E"), gateway());
            QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
            QCOMPARE(test::readFile(w.path), plain);

            IgmImportOptions options;
            options.withVessel = true;
            const IgmImportResult r = importIgmFile(target.db(), w.path, options, yes());
            QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
            QCOMPARE(r.lines, 3);
            QCOMPARE(r.containers, 3);
            QCOMPARE(test::count(target.db(), QStringLiteral("select sum(pkgs) from cargo where vslcode = 'ABCD'")), 760);
            QCOMPARE(test::count(target.db(), QStringLiteral("select count(*) from contain inner join cargo on cargo.id = "
                                                             "contain.ref where cargo.blno = 'BL-0020'")),
                     1);

            const CheckReport check = checkIgmData(QByteArray(plain).replace("K|3|XYZU0000001|10", "K|3|XYZU0000001|11"));
            QCOMPARE(check.layout, &layout);
            QVERIFY2(errors(check).contains(QStringLiteral("BL-0020: 0 packages on the line, 11 in its containers.")),
                     qPrintable(errors(check).join(QLatin1Char('\n'))));
            bool labelled = false;
            for (const Finding &f : check.findings)
                labelled = labelled || (f.fileLine == 5 && f.field == QStringLiteral("plain field %1").arg(int(BillColumn::Pkgs)));
            QVERIFY(labelled);
        }
        // gone with its registration: the file is then read as the older layout, which refuses it
        QCOMPARE(layoutNamed(QStringLiteral("plain")), nullptr);
        QCOMPARE(recogniseLine("PLAIN MANIFEST 1").layout, &olderLayout());
    }

    // The check finds the same errors in a voyage of the database and in its file of
    // either layout.
    void theSameErrorsFromEverySource_data() { test::addEngineRows(); }
    void theSameErrorsFromEverySource()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addIces15Voyage(t.db()).isOk());
        // a wrong check digit, packages that do not add up, a TI line without its bond, an
        // unknown port, a containerised line without containers, two containers alike
        QVERIFY(t.db().exec(QStringLiteral("update contain set containno = 'CSQU3054384' where containno = 'CSQU3054383'")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update cargo set pkgs = 35, tpregno = null, portload = 'CNXXX' where id = 7")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("delete from contain where ref = 9")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, "
                                           "constatus, conpkgs, conwt, isocode, socflag) values (7, 0, 0, 'MSKU1234565', "
                                           "'SL102', 'AAACM5678K', 'FCL', 1, 1, '22G1', 'N')")).isOk());
        auto codes = loadCodeLists(t.db());
        QVERIFY(codes.isOk());

        Failure failure;
        const CheckReport fromDatabase = checkVoyage(t.db(), QStringLiteral("9V3523"), QStringLiteral("22021W"),
                                                     ices15Layout(), &codes.value(), &failure);
        QVERIFY2(failure.code.isEmpty(), qPrintable(failure.numberAndText()));
        const QStringList expected = errors(fromDatabase);
        QCOMPARE(expected,
                 (QStringList{QStringLiteral(": Container MSKU1234565 appears twice under line 2."),
                              QStringLiteral("EMPTY01: Containerised line 3 has no container."),
                              QStringLiteral("HLCUHAM220901: Container number CSQU3054384: check digit should be 3, not 4."),
                              QStringLiteral("SHA1234: 35 packages on the line, 31 in its containers."),
                              QStringLiteral("SHA1234: A TI line needs its transit bond number."),
                              QStringLiteral("SHA1234: port \"CNXXX\" is not in the port master.")}));
        QTemporaryDir dir;
        for (const Layout *layout : {&olderLayout(), &ices15Layout()}) {
            const IgmWriteResult w = generateIgmFileInLayout(t.db(), *layout, dir.path(), QStringLiteral("9V3523"),
                                                             QStringLiteral("22021W"), gateway());
            QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
            const CheckReport fromFile = checkIgmFile(w.path, &codes.value());
            QCOMPARE(fromFile.layout, layout);
            QCOMPARE(errors(fromFile), expected);
            QCOMPARE(errors(checkVoyage(t.db(), QStringLiteral("9V3523"), QStringLiteral("22021W"), *layout, &codes.value(),
                                        &failure)),
                     expected);
        }
    }

    // Importing with the voyage header teaches the vessel code master the vessel, with what
    // the file tells of it; a vessel the master knows keeps its row.
    void vesselMasterLearnsTheVessel_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("known");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("notice");
        for (const char *e : {"sqlite", "postgres"}) {
            const QString engine = QLatin1String(e);
            QTest::addRow("%s: older layout", e) << engine << "ABCD123E.igm" << QString()
                                                 << "ABCD|MV GOLDEN ARROW|PA|41225.5|24360|"
                                                 << "Vessel code ABCD added to the vessel codes with name MV GOLDEN ARROW.";
            QTest::addRow("%s: ICES 1.5", e) << engine << "9M2379MSMP0004_other.igm" << QString() << "9M2379|||0|0|9813888"
                                             << "Vessel code 9M2379 added to the vessel codes with IMO number 9813888.";
            QTest::addRow("%s: known, IMO number filled in", e)
                << engine << "9M2379MSMP0004_other.igm" << "9M2379|KOTA|SG|100|50|" << "9M2379|KOTA|SG|100|50|9813888" << QString();
            QTest::addRow("%s: known, another IMO number", e)
                << engine << "9M2379MSMP0004_other.igm" << "9M2379|KOTA|SG|100|50|1234567" << "9M2379|KOTA|SG|100|50|1234567"
                << "Vessel 9M2379 has IMO number 1234567 in the vessel codes; the file's 9813888 was not taken.";
            QTest::addRow("%s: older layout, known", e)
                << engine << "ABCD123E.igm" << "ABCD|GOLDEN|IN|1|2|" << "ABCD|GOLDEN|IN|1|2|" << QString();
        }
    }
    void vesselMasterLearnsTheVessel()
    {
        QFETCH(QString, engine);
        QFETCH(QString, file);
        QFETCH(QString, known);
        QFETCH(QString, row);
        QFETCH(QString, notice);
        QUARL_COMPANY_DB(t, engine);
        if (!known.isEmpty()) {
            const QStringList k = known.split(QLatin1Char('|'));
            QVERIFY(t.db().exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt, IMO_NO) "
                                               "values (?, ?, ?, ?, ?, ?)"),
                                {k[0], k[1], k[2], k[3].toDouble(), k[4].toDouble(),
                                 k[5].isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(k[5])}).isOk());
        }
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult r = importIgmFile(t.db(), test::fixturePath(file), options, yes());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        auto q = t.db().query(QStringLiteral("select VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt, IMO_NO from D_VESSEL_CD"));
        QVERIFY(q && q->next());
        QStringList got;
        for (int i = 0; i < 6; ++i)
            got << (i == 3 || i == 4 ? Format::formatNumber(q->value(i).toDouble()) : q->value(i).toString());
        QCOMPARE(got.join(QLatin1Char('|')), row);
        QVERIFY(!q->next());
        QCOMPARE(r.outcome.notices, notice.isEmpty() ? QStringList() : QStringList{notice});
        if (file.startsWith(QLatin1String("9M")) && !known.isEmpty()) // the voyage takes the master's name
            QCOMPARE(t.db().scalar(QStringLiteral("select vslname from vesinfo")).value().toString(), QStringLiteral("KOTA"));
    }

    // A SAM file given to Import IGM File names its vessel by IMO number: the vessel code
    // master says whose it is; without one that has it, nothing is stored.
    void samByImportIgmFile()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const QString sam = test::samFixture(QStringLiteral("golden_small.json"));
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult unknown = importIgmFile(t.db(), sam, options, yes());
        QCOMPARE(unknown.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(unknown.outcome.message.contains(QStringLiteral("IMO number 9074729")), qPrintable(unknown.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), 0);

        QVERIFY(t.db().exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, IMO_NO) values ('GOLD', 'GOLDEN', '9074729')")).isOk());
        options.withVessel = false;
        const IgmImportResult r = importIgmFile(t.db(), sam, options, yes());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where vslcode = 'GOLD' and voyno = '024E'")), 6);
    }

    // "WIth Vessel Information" on a voyage whose header is stored already would give the
    // flat file two vessel records: refused, nothing stored; without it the lines come in.
    void oneHeaderPerVoyage_data() { test::addEngineRows(); }
    void oneHeaderPerVoyage()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname) values ('ABCD', '123E', 'KEYED')")).isOk());
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult twice = importIgmFile(t.db(), test::fixturePath(QStringLiteral("ABCD123E.igm")), options, yes());
        QCOMPARE(twice.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(twice.outcome.message.contains(QStringLiteral("The voyage header of ABCD / 123E is stored already")),
                 qPrintable(twice.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from D_VESSEL_CD")), 0);
        options.withVessel = false;
        const IgmImportResult lines = importIgmFile(t.db(), test::fixturePath(QStringLiteral("ABCD123E.igm")), options, yes());
        QVERIFY2(lines.outcome.isOk(), qPrintable(lines.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), 1 + 3 + 3);
    }

    // The writer stores the number of lines it writes as the voyage header's total.
    void writerStoresTheLineTotal_data() { test::addEngineRows(); }
    void writerStoresTheLineTotal()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update vesinfo set TotItems = null")).isOk());
        QTemporaryDir dir;
        qint64 lines = 3;
        for (const Layout *layout : {&olderLayout(), &ices15Layout(), &olderLayout()}) {
            const IgmWriteResult w = generateIgmFileInLayout(t.db(), *layout, dir.path(), QStringLiteral("ABCD"),
                                                             QStringLiteral("123E"), gateway());
            QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
            QCOMPARE(test::count(t.db(), QStringLiteral("select TotItems from vesinfo")), lines);
            QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno, bldt) values (?, 'ABCD', "
                                               "'123E', ?, ?)"),
                                {30 + lines, QStringLiteral("BL-MORE-%1").arg(lines),
                                 t.db().dialect().dateToDb(QDate(2009, 1, 2))}).isOk());
            ++lines;
        }
    }

    // A manifest built in memory (as a layout that reads a file whole builds it) is saved
    // with the same guarantees: one transaction, new keys, every line of the voyage.
    void savingABuiltManifest_data() { test::addEngineRows(); }
    void savingABuiltManifest()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(from, engine);
        QUARL_COMPANY_DB(to, engine);
        QVERIFY(test::addGoldenVoyage(from.db()).isOk());
        QVERIFY(to.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (50, 'X', '1', 'X1')")).isOk());
        auto m = loadVoyage(from.db(), QStringLiteral("ABCD"), QStringLiteral("123E"));
        QVERIFY(m.isOk());
        QCOMPARE(m->bills.size(), size_t(3));
        QCOMPARE(m->containerCount(), 3);
        olderLayout().prepare(m.value()); // numbered and counted as filed
        SaveOptions options;
        options.withVessel = true;
        const SaveResult saved = saveManifest(to.db(), m.value(), options, yes());
        QVERIFY2(saved.outcome.isOk(), qPrintable(saved.outcome.message));
        QCOMPARE(test::count(to.db(), QStringLiteral("select min(id) from cargo where vslcode = 'ABCD'")), 51);
        QTemporaryDir a;
        QTemporaryDir b;
        const IgmWriteResult wa = generateIgmFile(from.db(), a.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), gateway());
        const IgmWriteResult wb = generateIgmFile(to.db(), b.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), gateway());
        QVERIFY(wa.outcome.isOk() && wb.outcome.isOk());
        QCOMPARE(test::readFile(wb.path), test::readFile(wa.path));

        // a line of another voyage in it: refused, nothing stored
        Manifest other = m.value();
        other.bills.back()[BillColumn::Voyage] = QStringLiteral("123F");
        other.headers.front()[VoyageColumn::Voyage] = QStringLiteral("123G");
        for (Bill &l : other.bills) {
            if (&l != &other.bills.back())
                l[BillColumn::Voyage] = QStringLiteral("123G");
        }
        const qint64 before = test::voyageRows(to.db());
        const SaveResult refused = saveManifest(to.db(), other, options, yes());
        QCOMPARE(refused.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(refused.outcome.message.contains(QStringLiteral("belongs to ABCD / 123F")), qPrintable(refused.outcome.message));
        QCOMPARE(test::voyageRows(to.db()), before);
    }
};

QUARL_TEST(TestLayouts)
#include "tst_layouts.moc"
