#include "cargotest.h"

#include <QApplication>
#include <QDate>
#include <QTest>
#include <QWidget>

namespace quarl::cargotest {

int countRows(const Database &db, const QString &table)
{
    auto n = db.scalar(QStringLiteral("select count(*) from ") + table);
    return n ? n->toInt() : -1;
}

BillOfLading sampleBill(const QString &blno)
{
    BillOfLading bol;
    const QList<std::pair<const char *, QVariant>> values = {
        {"vslcode", QStringLiteral("VSL1")}, {"voyno", QStringLiteral("V1")}, {"blno", blno},
        {"bldt", QDate(2026, 11, 3)}, {"portload", QStringLiteral("SGSIN")}, {"portdest", QVariant()},
        {"impname", QStringLiteral("Importer")}, {"impadd1", QStringLiteral("Street 1")},
        {"impadd2", QStringLiteral("Area")}, {"impadd3", QStringLiteral("Mumbai")},
        {"naturecargo", QStringLiteral("C")}, {"itemtype", QStringLiteral("GC")}, {"cargomove", QStringLiteral("LC")},
        {"pkgs", 10}, {"pkgtype", QStringLiteral("PKG")}, {"grosswt", 1234.5}, {"unitwt", QStringLiteral("KGS")},
        {"marks", QStringLiteral("NM")}, {"gdesc", QStringLiteral("Machine parts")},
        {"unocode", QStringLiteral("ZZZZZ")}, {"imocode", QStringLiteral("ZZZ")}};
    for (const auto &[column, value] : values)
        bol.set(QLatin1String(column), value);
    return bol;
}

Container sampleContainer(int n)
{
    return Container{0, QStringLiteral("MSCU%1").arg(n, 7, 10, QLatin1Char('0')), QStringLiteral("SEAL%1").arg(n),
                     QStringLiteral("AG01"), QStringLiteral("FCL"), QStringLiteral("10"), QStringLiteral("12.5"),
                     QStringLiteral("22G1"), QStringLiteral("N"), QString(), QString()};
}

} // namespace quarl::cargotest
