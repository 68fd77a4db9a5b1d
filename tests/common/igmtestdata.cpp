#include "common/igmtestdata.h"

#include "store/database.h"

#include <QDate>
#include <QFile>
#include <QRandomGenerator>

namespace quarl::test {

namespace {

const QString VesselSql = QStringLiteral(
    "insert into vesinfo (vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, portarrival, "
    "lastport, lastport1, lastport2, grt, nrt, vsltype, TotItems, cargodesc, arrdt, arrtime, lhdues, samebottom, "
    "shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, terminalop) "
    "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

const QString CargoSql = QStringLiteral(
    "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, impadd1, "
    "impadd2, impadd3, notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, destcode, pkgs, "
    "pkgtype, grosswt, unitwt, volume, unitvol, marks, gdesc, unocode, imocode, tpregno, caccode, trmode, mlo) "
    "values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

const QString ContainerSql = QStringLiteral(
    "insert into contain (autoid, ref, lineno, sublineno, containno, sealno, agentcode, constatus, conpkgs, conwt, "
    "isocode, socflag) values (?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?)");

QVariant null()
{
    return QVariant();
}

Status run(const Database &db, const QString &sql, const QList<QVariantList> &rows)
{
    for (const QVariantList &r : rows) {
        if (Status s = db.exec(sql, r); !s)
            return s;
    }
    return Status::ok();
}

} // namespace

Status addGoldenVoyage(const Database &db)
{
    const Dialect &d = db.dialect();
    Status s = db.exec(VesselSql,
                       {"MV GOLDEN ARROW", "ABCD", "123E", "GAL", "AGT001", "JOHN O'HARA", "PA", "INNSA1", "SGSIN",
                        "LKCMB", "AEJEA", 41225.5, 24360.0, "CON", 99, "CONTAINERS", d.dateToDb(QDate(2009, 3, 20)),
                        "06:30", 0.5, "N", "Y", "Y", "N", "Y", "Y", "PORT"});
    if (!s)
        return s;
    const QString nul(QStringLiteral("\x1d"));
    s = run(db, CargoSql,
            {
                {20, "ABCD", "123E", 5, "BL-0020", d.dateToDb(QDate(2009, 11, 30)), "CNSHA", "INIXY1",
                 "WESTERN INDIA TEXTILES ", null(), null(), null(), null(), null(), null(), null(), "CP", "GC", "LC",
                 null(), 0, "PKG", 0.25, "MTS", 1000000.0, "CBM", "", "MACHINE PARTS", "ZZZZZ", "ZZZ", null(), "  ",
                 null(), null()},
                {7, "ABCD", "123E", 1, "BL-0007", d.dateToDb(QDate(2009, 3, 5)), "SGSIN", "INNSA1",
                 "BHARAT TRADING CO, UNIT 4", "MAKER CHAMBERS", "NARIMAN POINT", "MUMBAI 400021", "SAME AS CONSIGNEE",
                 null(), null(), null(), "C", "GC", "LC", null(), 640, "CTN", 18450.5, "KGS", 0.0, "CBM",
                 "BET/MUM/1-640", "ELECTRONIC PARTS", "ZZZZZ", "ZZZ", 0.0, null(), null(), null()},
                {15, "ABCD", "123F", 1, "BL-0015", d.dateToDb(QDate(2009, 4, 1)), "SGSIN", "INNSA1", "OTHER VOYAGE",
                 null(), null(), null(), null(), null(), null(), null(), "C", "GC", "LC", null(), 1, "CTN", 1.0, "KGS",
                 0.0, null(), null(), "OTHER", "ZZZZZ", "ZZZ", 0.0, null(), null(), null()},
                {12, "ABCD", "123E", 2, "BL-0012", d.dateToDb(QDate(2010, 12, 25)), "LKCMB", "INNSA1",
                 QStringLiteral("Caf\u00e9 M\u00fcller \u2013 \u00d8rsted"), QStringLiteral("LINE1") + nul + "A",
                 "TWO\r\nLINES", "TAB\tHERE", QStringLiteral("Stra\u00dfe \u201cNord\u201d"),
                 QStringLiteral("\u20ac 100"), "", null(), "P", "GC", "TI", "INMAA1", 120, "BLS", 21600.0, "KGS", 2.5,
                 "CBM", "WIT 1-120", "RAW COTTON BALES", "1866", "3", 123456.0, "CAC01     ", "R", "MLO01     "},
            });
    if (!s)
        return s;
    return run(db, ContainerSql,
               {
                   {1, 7, 1, "ABCU1234560", "S1", "AGT001", "FCL", 400, 11.25, "45G1", "N"},
                   {2, 20, 5, "XYZU0000001", "S2", "AGT002", "FCL", 10, 0.5, "22G1", "N"},
                   {3, 7, 1, "ABCU7654321", "S3", "AGT001", "LCL", 0, 0.0, "22G1", "Y"},
                   {4, 15, 1, "OTHU0000015", "S4", "AGT001", "FCL", 1, 1.0, "22G1", "N"},
               });
}

Status addSecondVoyage(const Database &db)
{
    const Dialect &d = db.dialect();
    Status s = db.exec(VesselSql, {"SECOND VESSEL", "V2", "7", "SL2", "AG2", "MASTER TWO", "IN", "INMAA1", "SGSIN",
                                   null(), null(), 100.0, 50.75, "BLK", null(), "BULK", null(), null(), 0.0, "N", "N",
                                   "N", "N", "N", "N", "PORT"});
    if (!s)
        return s;
    return db.exec(CargoSql, {100, "V2", "7", 0, "B2-1", d.dateToDb(QDate(2000, 1, 1)), "SGSIN", "INMAA1", "ONE",
                              null(), null(), null(), null(), null(), null(), null(), "P", "GC", "LC", null(), 5, "PKG",
                              10.0, "KGS", null(), null(), null(), "STEEL COILS", "ZZZZZ", "ZZZ", null(), null(),
                              null(), null()});
}

QString fixturePath(const QString &name)
{
    return QStringLiteral(QUARL_FIXTURES "/igm/") + name;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QByteArray readFixture(const QString &name)
{
    return readFile(fixturePath(name));
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

qint64 count(const Database &db, const QString &sql, const QVariantList &binds)
{
    auto v = db.scalar(sql, binds);
    return v ? v->toLongLong() : -1;
}

QList<qint64> lineNumbers(const Database &db, const QList<qint64> &ids)
{
    QList<qint64> out;
    for (qint64 id : ids)
        out << count(db, QStringLiteral("select lineno from cargo where id = ?"), {id});
    return out;
}

qint64 voyageRows(const Database &db)
{
    return count(db, QStringLiteral("select count(*) from vesinfo")) + count(db, QStringLiteral("select count(*) from cargo"))
           + count(db, QStringLiteral("select count(*) from contain"));
}

// Voyage 9V3523 / 22021W of 9V352322021W_ices15.igm (see compose_ices15.py): three lines
// (ids 3, 7, 9), four containers, every field the newer layout needs.
Status addIces15Voyage(const Database &db)
{
    const Dialect &d = db.dialect();
    Status s = db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt, IMO_NO) "
                                      "values ('9V3523', 'XPRESS KOLKATA', 'SG', 9000, 5000, '9399117')"));
    if (s)
        s = db.exec(QStringLiteral(
                        "insert into vesinfo (vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, "
                        "portarrival, lastport, lastport1, vsltype, cargodesc, arrdt, arrtime, lhdues, samebottom, "
                        "shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, terminalop, tocode, arrportcd) "
                        "values ('XPRESS KOLKATA', ?, ?, 'XCL', 'AAACX1234F', 'JOHN O''HARA', 'SG', 'INIXY1', 'LKCMB', "
                        "'SGSIN', 'C', 'GENERAL CARGO', ?, '18:00', 0, 'N', 'Y', 'Y', 'N', 'Y', 'Y', 'PORT', "
                        "'INCCU1KKP1', 'INCCU1')"),
                    {QStringLiteral("9V3523"), QStringLiteral("22021W"), d.dateToDb(QDate(2022, 10, 16))});
    const QString cargo = QStringLiteral(
        "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, impadd1, "
        "impadd2, impadd3, notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, destcode, pkgs, "
        "pkgtype, grosswt, unitwt, volume, unitvol, marks, gdesc, unocode, imocode, tpregno, caccode, trmode, mlo) "
        "values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'C', 'OT', ?, ?, ?, ?, ?, 'KGS', ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, 'AAACM5678K')");
    const QVariant null;
    const QList<QVariantList> lines = {
        {7, "9V3523", "22021W", 9, "SHA1234", d.dateToDb(QDate(2022, 9, 20)), "CNSHA", "INDUR6", "DURGAPUR STEEL LTD",
         "PLOT 4", "CITY CENTRE", "DURGAPUR", "DURGAPUR STEEL LTD", "*", "*", "*", "TI", null, 30, "BDL", 25010.255,
         12.5, "CBM", "DSL", "STEEL PIPES, PAINTED", "1866", "3", 2001234567.0, "AABCC1234D", "R"},
        {3, "9V3523", "22021W", 2, "HLCUHAM220901", d.dateToDb(QDate(2022, 9, 13)), "DEHAM", "INCCU1",
         QStringLiteral("M\u00fcller & S\u00f6hne (India) Pvt"), "12 PARK STREET", ".", "KOLKATA 700016",
         "SAME AS CONSIGNEE", null, null, null, "LC", "INCCU1CPL2", 24, "PKG", 13332.0, 0.0, "CBM", "N/M",
         "MACHINERY PARTS", "ZZZZZ", "ZZZ", 2002345678.0, null, null},
        {9, "9V3523", "22021W", null, "EMPTY01", d.dateToDb(QDate(2022, 10, 1)), "SGSIN", "INCCU1",
         "XPRESS FEEDERS INDIA", null, null, null, "SAME AS CONSIGNEE", null, null, null, "LC", null, 1, "UNT", 2200.0,
         null, null, "NIL", "EMPTY CONTAINER", "ZZZZZ", "ZZZ", null, null, null},
    };
    for (const QVariantList &l : lines) {
        if (s)
            s = db.exec(cargo, l);
    }
    const QString box = QStringLiteral("insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, "
                                       "constatus, conpkgs, conwt, isocode, socflag) values (?, 0, 0, ?, ?, "
                                       "'AAACM5678K', ?, ?, ?, ?, ?)");
    const QList<QVariantList> boxes = {
        {3, "CSQU3054383", "ML-ES5323938", "FCL", 24, 13.332, "4200", "N"},
        {7, "TGHU9876542", "SL100", "FCL", 20, 16.5, "2200", "N"},
        {7, "MSKU1234565", "SL101", "FCL", 10, 8.51, "22G1", "Y"},
        {9, "TCLU7654320", null, "MTY", 1, 0.0, "2200", "N"},
    };
    for (const QVariantList &b : boxes) {
        if (s)
            s = db.exec(box, b);
    }
    return s;
}

MutationTally mutate(const QByteArray &good, int files, quint32 seed, const MutationJudge &judge)
{
    const QByteArray special[] = {"\x1d", "\r", "\n", "\r\n", ",", "\"", QByteArray(1, '\0'), "<cargo>\r\n",
                                  "<END-cargo>\r\n", "<contain>\r\n", "<END-contain>\r\n", "<vesinfo>\r\n",
                                  "\xff\xfe", "\xc3", "99999999999", "-1", "1e400", "00000000", "<END-manifest>\r\n",
                                  "TREC\x1d", "<START-SIGNATURE>x</START-SIGNATURE>\n", "EMP", "F\x1d"};
    const QByteArray values[] = {"heavy", "nan", "1e999", "0x10", "-5", "+-1", " 7 ", "", "1.5", "A,B", "\"Q\"",
                                 "\xc3\xa9", "5e2", "1,5", "+3", "F", "V", "EMP", "MTY"};
    QRandomGenerator rng(seed);
    MutationTally tally;
    for (int n = 0; n < files; ++n) {
        QByteArray data = good;
        const int mutations = 1 + int(rng.bounded(6));
        for (int m = 0; m < mutations && !data.isEmpty(); ++m) {
            const qsizetype at = rng.bounded(int(data.size()));
            const qsizetype gs = data.indexOf('\x1d', at);
            const qsizetype nextGs = gs < 0 ? -1 : data.indexOf('\x1d', gs + 1);
            switch (rng.bounded(11)) {
            case 0: data[at] = char(rng.bounded(256)); break;
            case 1: data.remove(at, rng.bounded(1, 40)); break;
            case 2: data.insert(at, special[rng.bounded(int(std::size(special)))]); break;
            case 3: data.truncate(at); break;
            case 4: data.insert(at, data.mid(rng.bounded(int(data.size())), rng.bounded(1, 200))); break;
            case 5: data[at] = '\x1d'; break;
            case 6: {
                QByteArray noise;
                for (int i = rng.bounded(1, 64); i > 0; --i)
                    noise += char(rng.bounded(256));
                data.insert(at, noise);
                break;
            }
            case 7: // a lost line break
                if (const qsizetype end = data.indexOf("\r\n", at); end >= 0)
                    data.remove(end, 2);
                break;
            case 8: // a field replaced
                if (nextGs > gs)
                    data.replace(gs + 1, nextGs - gs - 1, values[rng.bounded(int(std::size(values)))]);
                break;
            case 9: // a blank line, or CR CR LF
                if (const qsizetype end = data.indexOf("\r\n", at); end >= 0)
                    data.insert(end, rng.bounded(2) ? "\r" : "\r\n  ");
                break;
            case 10: { // a section twice
                const qsizetype from = data.indexOf(rng.bounded(2) ? "<cargo>" : "<contain>");
                const qsizetype to = data.indexOf("<END-contain>\r\n");
                if (from >= 0 && to > from)
                    data.insert(to + 15, data.mid(from, to - from + 15));
                break;
            }
            }
        }
        const bool withVessel = rng.bounded(2) == 1;
        const bool strip = rng.bounded(4) == 0;
        switch (judge(data, n, withVessel, strip)) {
        case MutationOutcome::Stored: ++tally.stored; break;
        case MutationOutcome::Refused: ++tally.refused; break;
        case MutationOutcome::Broken: tally.broken = n; return tally;
        }
    }
    return tally;
}

} // namespace quarl::test
