#pragma once

// The load test's save of a bill of lading with its containers: one transaction, the
// key from nextCargoId, the line, then its containers, as the cargo screen saves.

#include "store/cargokeys.h"
#include "store/database.h"
#include "store/installer.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantList>

namespace quarl::bench {

struct VoyageHeader
{
    QString vessel;
    QString voyage;
};

struct Bill
{
    QString vessel;
    QString voyage;
    int saver = 0;
    int seq = 0;
    QString blno;
    QStringList containers;
};

inline QString billPrefix(int saver)
{
    return QStringLiteral("LD%1B").arg(saver);
}

// The sequence number of a bill of the saver, 0 for a bill of somebody else.
inline qint64 billSeq(const QString &blno, int saver)
{
    const QString prefix = billPrefix(saver);
    return blno.startsWith(prefix) ? blno.mid(prefix.size()).toLongLong() : 0;
}

// Container numbers carry their bill's sequence: owner, then seq * 10 + k, then the
// check digit.
inline qint64 containerSeq(const QString &containno)
{
    return containno.mid(4, 6).toLongLong() / 10;
}

inline Bill makeBill(const QString &vessel, const QString &voyage, int saver, int seq, int containers)
{
    Bill b{vessel, voyage, saver, seq, billPrefix(saver) + QStringLiteral("%1").arg(seq, 6, 10, QLatin1Char('0')), {}};
    const QString owner = QStringLiteral("LD%1U").arg(QChar(QLatin1Char('A').unicode() + saver % 26));
    for (int k = 0; k < containers; ++k) {
        const QString ownerSerial = owner + QStringLiteral("%1").arg(seq * 10 + k, 6, 10, QLatin1Char('0'));
        b.containers << ownerSerial + QString::number(Installer::containerCheckDigit(ownerSerial));
    }
    return b;
}

inline Status addVoyageHeader(const Database &db, const VoyageHeader &h)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    auto n = db.scalar(QStringLiteral("select count(*) from vesinfo where vslcode = ? and voyno = ?"), {h.vessel, h.voyage});
    if (!n)
        return n.failure();
    if (n->toLongLong() == 0) {
        if (Status s = db.exec(QStringLiteral("insert into vesinfo (vslname, vslcode, voyno, vslnation, portarrival, "
                                              "lastport, grt, nrt, arrdt, terminalop) values (?, ?, ?, 'IN', 'INNSA1', "
                                              "'SGSIN', 1000, 500, ?, 'PORT')"),
                               {QStringLiteral("LOAD TRADER"), h.vessel, h.voyage,
                                db.dialect().dateToDb(QDate(2026, 12, 1))});
            !s)
            return s;
    }
    return tx.commit();
}

inline Status saveBill(const Database &db, const Bill &b)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    auto id = nextCargoId(db);
    if (!id)
        return id.failure();
    if (Status s = db.exec(
            QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, "
                           "impname, impadd1, notname, naturecargo, itemtype, cargomove, pkgs, pkgtype, grosswt, unitwt, "
                           "marks, gdesc, unocode, imocode) values (?, ?, ?, 0, 0, ?, ?, 'SGSIN', 'INIXY1', ?, 'FORT', "
                           "'SAME AS CONSIGNEE', 'C', 'GC', 'LC', ?, 'CTN', ?, 'KGS', ?, 'GENERAL CARGO', 'ZZZZZ', 'ZZZ')"),
            {id.value(), b.vessel, b.voyage, b.blno, db.dialect().dateToDb(QDate(2026, 11, 20)),
             QStringLiteral("IMPORTER %1").arg(b.saver), 100 + b.seq, 1000.5 + b.seq, QStringLiteral("MARKS %1").arg(b.seq)});
        !s)
        return s;
    for (const QString &c : b.containers) {
        if (Status s = db.exec(QStringLiteral("insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, "
                                              "constatus, conpkgs, conwt, isocode, socflag) "
                                              "values (?, 0, 0, ?, ?, 'LOADAGT', 'FCL', 20, 4.5, '22G1', 'N')"),
                               {id.value(), c, QStringLiteral("SL") + c.mid(4, 7)});
            !s)
            return s;
    }
    return tx.commit();
}

} // namespace quarl::bench
