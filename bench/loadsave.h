#pragma once

// The load test's workstation: the voyage header, and bills of lading with their
// containers saved through the cargo screen's save routine.

#include "entry/billoflading.h"
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

// Through the cargo screen's own save routine; the key the bill of lading got.
inline Result<qint64> saveBill(const Database &db, const Bill &b)
{
    BillOfLading bol;
    bol.set(QStringLiteral("vslcode"), b.vessel);
    bol.set(QStringLiteral("voyno"), b.voyage);
    bol.set(QStringLiteral("blno"), b.blno);
    bol.set(QStringLiteral("bldt"), QDate(2026, 11, 20));
    bol.set(QStringLiteral("portload"), QStringLiteral("SGSIN"));
    bol.set(QStringLiteral("impname"), QStringLiteral("IMPORTER %1").arg(b.saver));
    bol.set(QStringLiteral("impadd1"), QStringLiteral("FORT"));
    bol.set(QStringLiteral("notname"), QStringLiteral("SAME AS CONSIGNEE"));
    bol.set(QStringLiteral("naturecargo"), QStringLiteral("C"));
    bol.set(QStringLiteral("itemtype"), QStringLiteral("GC"));
    bol.set(QStringLiteral("cargomove"), QStringLiteral("LC"));
    bol.set(QStringLiteral("pkgs"), 100 + b.seq);
    bol.set(QStringLiteral("pkgtype"), QStringLiteral("CTN"));
    bol.set(QStringLiteral("grosswt"), 1000.5 + b.seq);
    bol.set(QStringLiteral("unitwt"), QStringLiteral("KGS"));
    bol.set(QStringLiteral("marks"), QStringLiteral("MARKS %1").arg(b.seq));
    bol.set(QStringLiteral("gdesc"), QStringLiteral("GENERAL CARGO"));
    bol.set(QStringLiteral("unocode"), QStringLiteral("ZZZZZ"));
    bol.set(QStringLiteral("imocode"), QStringLiteral("ZZZ"));
    for (const QString &c : b.containers)
        bol.containers << Container{0,
                                    c,
                                    QStringLiteral("SL") + c.mid(4, 7),
                                    QStringLiteral("LOADAGT"),
                                    QStringLiteral("FCL"),
                                    QStringLiteral("20"),
                                    QStringLiteral("4.5"),
                                    QStringLiteral("22G1"),
                                    QStringLiteral("N"),
                                    QString(),
                                    QString()};
    return saveBillOfLading(db, bol);
}

} // namespace quarl::bench
