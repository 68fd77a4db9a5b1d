#include "igm/syntheticvoyage.h"

#include "store/cargokeys.h"
#include "store/database.h"
#include "store/installer.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

namespace quarl::igm {

namespace {

const char *const LoadPorts[] = {"SGSIN", "LKCMB", "AEJEA", "CNSHA", "MYPKG", "DEHAM", "NLRTM"};
const char *const Packages[] = {"CTN", "PLT", "BGS", "DRM", "CAS", "BLS", "PKG"};
const char *const IsoCodes[] = {"22G1", "45G1", "42G1", "22R1", "20G1"};
const char *const Importers[] = {"BHARAT ELECTRONICS TRADING CO", "DECCAN CHEMICALS LTD", "WESTERN INDIA TEXTILES",
                                 "KONKAN AGRO EXPORTS PVT LTD", "SAHYADRI MACHINE TOOLS", "COASTAL PAPER MILLS"};
const char *const Streets[] = {"UNIT 4, MAKER CHAMBERS", "PLOT 22, MIDC", "23 MINT ROAD", "GALA 7, STEEL MARKET",
                               "SHED 3, APMC YARD", "1ST FLOOR, DOCK HOUSE"};
const char *const Towns[] = {"MUMBAI 400001", "NAVI MUMBAI 410208", "PUNE 411001", "SURAT 395003", "NASHIK 422001"};
const char *const Goods[] = {"ELECTRONIC COMPONENTS AND SPARE PARTS", "RESIN SOLUTION", "RAW COTTON BALES",
                             "MACHINE PARTS, CAST IRON", "PAPER ROLLS", "FROZEN SEAFOOD (SHRIMPS)"};

template<typename T, size_t N>
const char *pick(const T (&list)[N], quint32 n)
{
    return list[n % N];
}

} // namespace

Status addSyntheticVoyage(const Database &db, const SyntheticVoyage &v)
{
    if (v.lines < 1 || v.containers < 0)
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("A voyage needs at least one line."));
    // Declared before the transaction, so that they are released after it has ended.
    QSqlQuery cargo(db.handle());
    QSqlQuery contain(db.handle());
    if (v.vessel.trimmed().isEmpty() || v.voyage.trimmed().isEmpty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("A voyage needs a vessel code and a voyage number."));
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    // Keys first: this writer then waits its turn before it has written anything.
    auto nextId = nextCargoId(db);
    if (!nextId)
        return nextId.failure();
    const qint64 firstId = nextId.value();
    const QVariantList key{v.vessel, v.voyage};
    auto existing = db.scalar(QStringLiteral("select (select count(*) from cargo where vslcode = ? and voyno = ?) + "
                                             "(select count(*) from vesinfo where vslcode = ? and voyno = ?)"),
                              {v.vessel, v.voyage, v.vessel, v.voyage});
    if (!existing)
        return existing.failure();
    if (existing->toLongLong() > 0)
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("Voyage %1 / %2 already holds data; remove it first.").arg(v.vessel, v.voyage));

    // the vessel code master knows the vessel, as the voyage screen expects
    auto known = db.scalar(QStringLiteral("select count(*) from D_VESSEL_CD where VESSEL_CD = ?"), {v.vessel});
    if (!known)
        return known.failure();
    if (known->toLongLong() == 0) {
        if (Status s = db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt) "
                                              "values (?, 'SYNTHETIC TRADER', 'IN', 41225.5, 24360)"),
                               {v.vessel});
            !s)
            return s;
        // today's layout files the IMO number; a database not yet upgraded has no place for it
        if (db.columnNames(QStringLiteral("D_VESSEL_CD")).contains(QStringLiteral("IMO_NO"), Qt::CaseInsensitive)) {
            if (Status s = db.exec(QStringLiteral("update D_VESSEL_CD set IMO_NO = '9387126' where VESSEL_CD = ?"),
                                   {v.vessel});
                !s)
                return s;
        }
    }

    const Dialect &d = db.dialect();
    const QDate arrival(2024, 1, 20);
    Status s = db.exec(
        QStringLiteral("insert into vesinfo (vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, "
                       "portarrival, lastport, lastport1, lastport2, grt, nrt, vsltype, TotItems, cargodesc, arrdt, "
                       "arrtime, lhdues, samebottom, shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, "
                       "terminalop) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {QStringLiteral("SYNTHETIC TRADER"), v.vessel, v.voyage, QStringLiteral("SYNLINE"), QStringLiteral("SYNAGENT"),
         QStringLiteral("ANIL KUMAR MENON"), QStringLiteral("IN"), QStringLiteral("INNSA1"), QStringLiteral("SGSIN"),
         QStringLiteral("LKCMB"), QStringLiteral("AEJEA"), 41225.5, 24360.0, QStringLiteral("CON"), v.lines,
         QStringLiteral("CONTAINERS"), d.dateToDb(arrival), QStringLiteral("06:30"), 1250.75, QStringLiteral("N"),
         QStringLiteral("Y"), QStringLiteral("Y"), QStringLiteral("N"), QStringLiteral("Y"), QStringLiteral("Y"),
         QStringLiteral("NSICT")});
    if (!s)
        return s;

    QRandomGenerator rng(v.seed);
    if (!cargo.prepare(QStringLiteral(
            "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, "
            "impadd1, impadd2, impadd3, notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, "
            "destcode, pkgs, pkgtype, grosswt, unitwt, volume, unitvol, marks, gdesc, unocode, imocode, tpregno, "
            "caccode, trmode, mlo) values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
            "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
        return db.failed(cargo.lastError());

    QList<qint64> containerLines; // (index into the lines) of lines that carry containers
    const QString blPrefix = QStringLiteral("SYN%1").arg(v.voyage.trimmed().left(6));
    for (int i = 1; i <= v.lines; ++i) {
        const qint64 id = firstId + i - 1;
        const bool packaged = v.lines > 1 && i % 10 == 0;
        const QString nature = packaged ? QStringLiteral("P") : (i % 10 == 5 ? QStringLiteral("CP") : QStringLiteral("C"));
        if (!packaged)
            containerLines << id;
        const bool transhipment = i % 7 == 3;
        const bool dangerous = i % 13 == 6;
        const quint32 r = rng.generate();
        const double volume = (i % 4 == 0) ? double(10 + r % 900) / 4.0 : 0.0;
        const QVariantList values{
            id, v.vessel, v.voyage, i,
            QStringLiteral("%1%2").arg(blPrefix).arg(i, 6, 10, QLatin1Char('0')),
            d.dateToDb(arrival.addDays(-10 - int(r % 40))),
            QLatin1String(pick(LoadPorts, r >> 3)), transhipment ? QStringLiteral("INMAA1") : QStringLiteral("INNSA1"),
            QLatin1String(pick(Importers, r >> 5)), QLatin1String(pick(Streets, r >> 7)), QStringLiteral("FORT"),
            QLatin1String(pick(Towns, r >> 9)), QStringLiteral("SAME AS CONSIGNEE"), QString(), QString(), QString(),
            nature, QStringLiteral("GC"), transhipment ? QStringLiteral("TI") : QStringLiteral("LC"),
            transhipment ? QStringLiteral("INMAA1") : QString(),
            int(1 + (r >> 11) % 900), QLatin1String(pick(Packages, r >> 13)),
            double(1000 + (r >> 15) % 20000) + ((r & 1) ? 0.5 : 0.0), QStringLiteral("KGS"),
            volume, QStringLiteral("CBM"),
            QStringLiteral("MARKS %1/1-%2").arg(i).arg(1 + (r >> 11) % 900), QLatin1String(pick(Goods, r >> 17)),
            dangerous ? QStringLiteral("1866") : QStringLiteral("ZZZZZ"),
            dangerous ? QStringLiteral("3") : QStringLiteral("ZZZ"),
            transhipment ? double(200000 + i) : 0.0,
            transhipment ? QStringLiteral("CAC0001") : QString(),
            transhipment ? QStringLiteral("R") : QString(),
            transhipment ? QStringLiteral("MLO0001") : QString(),
        };
        for (int c = 0; c < values.size(); ++c)
            cargo.bindValue(c, values.at(c));
        if (!cargo.exec())
            return db.failed(cargo.lastError());
    }

    if (v.containers > 0 && containerLines.isEmpty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("The voyage has no container lines."));
    if (!contain.prepare(QStringLiteral(
            "insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, constatus, conpkgs, conwt, "
            "isocode, socflag) values (?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?)")))
        return db.failed(contain.lastError());
    // Spread evenly: the first lines get one container more when they do not divide.
    const qint64 perLine = containerLines.isEmpty() ? 0 : v.containers / containerLines.size();
    const qint64 extra = containerLines.isEmpty() ? 0 : v.containers % containerLines.size();
    qint64 serial = 0;
    QList<std::pair<qint64, qint64>> packages; // line, packages in its containers
    for (qsizetype l = 0; l < containerLines.size(); ++l) {
        const qint64 id = containerLines.at(l);
        const qint64 n = perLine + (l < extra ? 1 : 0);
        qint64 held = 0;
        for (qint64 k = 0; k < n; ++k) {
            ++serial;
            const quint32 r = rng.generate();
            const QString owner = QStringLiteral("SYNU%1").arg(serial % 1000000, 6, 10, QLatin1Char('0'));
            // an empty box comes after a full one: every line holds packages
            const bool empty = k > 0 && r % 50 == 0;
            const QVariantList values{
                id, id - firstId + 1,
                owner + QString::number(Installer::containerCheckDigit(owner)),
                QStringLiteral("SL%1").arg(7000000 + serial), QStringLiteral("SYNAGENT"),
                empty ? QStringLiteral("MTY") : QStringLiteral("FCL"),
                empty ? 0 : int(1 + (r >> 4) % 400),
                empty ? 0.0 : double(1 + (r >> 12) % 28) + double((r >> 20) % 4) / 4.0,
                QLatin1String(pick(IsoCodes, r >> 22)), QStringLiteral("N"),
            };
            for (int c = 0; c < values.size(); ++c)
                contain.bindValue(c, values.at(c));
            if (!contain.exec())
                return db.failed(contain.lastError());
            held += values.at(6).toLongLong();
        }
        if (n > 0)
            packages.append({id, held});
    }
    // A line declares the packages its containers hold, as a checked manifest does.
    for (const auto &[id, held] : std::as_const(packages)) {
        if (Status s = db.exec(QStringLiteral("update cargo set pkgs = ? where id = ?"), {held, id}); !s)
            return s;
    }
    return tx.commit();
}

} // namespace quarl::igm
