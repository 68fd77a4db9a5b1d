#include "store/installer.h"

#include "core/installation.h"
#include "core/settings.h"
#include "store/database.h"
#include "store/datasourceregistry.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <functional>

namespace quarl::Installer {

namespace {

// A sibling name for building a database before it is renamed into place.
QString buildingName(const QString &path)
{
    return path + QStringLiteral(".building");
}

Status buildFile(const QString &path, const std::function<Status(const Database &)> &fill)
{
    const QFileInfo info(path);
    if (info.exists())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("File %1 already exists.").arg(path));
    if (!QDir().mkpath(info.absolutePath()))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot create folder %1.").arg(info.absolutePath()));
    const QString temp = buildingName(info.absoluteFilePath());
    QFile::remove(temp);
    Status status;
    {
        auto db = Database::openSqlite(temp, true);
        if (!db)
            return db.failure();
        status = fill(db.value());
    }
    if (status && !QFile::rename(temp, info.absoluteFilePath()))
        status = Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot rename %1 to %2.").arg(temp, path));
    if (!status)
        QFile::remove(temp);
    return status;
}

} // namespace

Status createDataFile(const QString &path, Schema::CompanyOptions options)
{
    return buildFile(path, [&](const Database &db) { return Schema::createCompanyDatabase(db, options); });
}

Result<HomeReport> firstStart()
{
    return initHome(true, false);
}

Result<HomeReport> initHome(bool demo, bool demoGatewayCodes)
{
    HomeReport report;
    report.folder = Installation::folder();
    report.settingsFile = Installation::filePath(QLatin1String(Installation::SettingsFileName));
    if (!QDir().mkpath(report.folder))
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot create folder %1.").arg(report.folder));

    const QString existingSys = Settings::sysPath();
    if (!existingSys.isEmpty() && QFileInfo::exists(existingSys)) {
        report.alreadyThere = true;
        report.systemDatabase = existingSys;
        return report;
    }

    report.systemDatabase = Installation::filePath(QLatin1String(Installation::SystemDatabaseFileName));
    if (!QFileInfo::exists(report.systemDatabase)) {
        Status s = buildFile(report.systemDatabase, [&](const Database &db) {
            Status made = Schema::createSystemDatabase(db);
            if (!made || !demo)
                return made;
            return db.exec(QStringLiteral("insert into DRCOMP (code, name, add1, add2, add3, telephone, dirname) "
                                          "values (?, ?, ?, ?, ?, ?, ?)"),
                           {1, QLatin1String(DemoCompanyName), QStringLiteral("Shipping House, 14 Ballard Estate"),
                            QStringLiteral("Fort"), QStringLiteral("Mumbai 400001"), QStringLiteral("+91 22 2261 0000"),
                            DataSourceRegistry::connectionText(QLatin1String(DemoDataSource))});
        });
        if (!s)
            return s.failure();
    }

    if (demo) {
        report.demoDataFile = Installation::filePath(QLatin1String(DemoDataSource));
        if (!QFileInfo::exists(report.demoDataFile)) {
            Status s = buildFile(report.demoDataFile, [](const Database &db) {
                Status made = Schema::createCompanyDatabase(db);
                return made ? addDemoData(db) : made;
            });
            if (!s)
                return s.failure();
        }
        if (Status s = DataSourceRegistry().registerFile(QLatin1String(DemoDataSource), report.demoDataFile); !s)
            return s.failure();
        if (demoGatewayCodes && Settings::iceGateUser().isEmpty())
            Settings::setIceGateUser(QStringLiteral("DEMOAGENT"));
        if (demoGatewayCodes && Settings::customHouseCode().isEmpty())
            Settings::setCustomHouseCode(QStringLiteral("INNSA1"));
    }
    // The empty company that Company Master's Create offers to copy from.
    report.templateDataFile = Installation::filePath(QLatin1String(TemplateDataFile));
    if (!QFileInfo::exists(report.templateDataFile)) {
        if (Status s = createDataFile(report.templateDataFile); !s)
            return s.failure();
    }
    // Written last: its presence marks a complete installation.
    Settings::setSysPath(report.systemDatabase);
    return report;
}

int containerCheckDigit(const QString &ownerSerial)
{
    // Letters take the values 10..38, skipping multiples of 11.
    auto letterValue = [](QChar c) {
        int v = 10;
        for (QChar l = QLatin1Char('A'); l < c; l = QChar(l.unicode() + 1)) {
            ++v;
            if (v % 11 == 0)
                ++v;
        }
        return v;
    };
    int sum = 0;
    for (int i = 0; i < 10 && i < ownerSerial.size(); ++i) {
        const QChar c = ownerSerial.at(i);
        const int v = c.isDigit() ? c.digitValue() : letterValue(c.toUpper());
        sum += v << i;
    }
    return (sum % 11) % 10;
}

namespace {
QString container(const QString &ownerSerial)
{
    return ownerSerial + QString::number(containerCheckDigit(ownerSerial));
}
} // namespace

Status addDemoData(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started();

    const QList<QVariantList> vessels = {
        {QStringLiteral("SEAPRL"), QStringLiteral("SEA PEARL"), QStringLiteral("PA"), 41225.0, 24360.0},
        {QStringLiteral("OCNGRC"), QStringLiteral("OCEAN GRACE"), QStringLiteral("LR"), 54774.0, 32109.0},
        {QStringLiteral("KNKTRD"), QStringLiteral("KONKAN TRADER"), QStringLiteral("IN"), 9981.0, 5321.0},
        {QStringLiteral("ARBBRZ"), QStringLiteral("ARABIAN BREEZE"), QStringLiteral("SG"), 27915.0, 13660.0},
        {QStringLiteral("MRNSTR"), QStringLiteral("MARINE STAR"), QStringLiteral("MH"), 35881.0, 17042.0},
    };
    for (const QVariantList &v : vessels) {
        if (Status s = db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt) "
                                              "values (?, ?, ?, ?, ?)"), v); !s)
            return s;
    }

    const Dialect &d = db.dialect();
    const QDate arrival = QDate::currentDate().addDays(-2);
    Status s = db.exec(
        QStringLiteral("insert into vesinfo (vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, "
                       "portarrival, lastport, lastport1, lastport2, grt, nrt, vsltype, TotItems, cargodesc, arrdt, "
                       "arrtime, lhdues, samebottom, shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, terminalop) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {QStringLiteral("SEA PEARL"), QStringLiteral("SEAPRL"), QStringLiteral("024E"), QStringLiteral("SPLINE"),
         QStringLiteral("DEMOAGENT"), QStringLiteral("RAJESH KUMAR NAIR"), QStringLiteral("PA"), QStringLiteral("INIXY1"),
         QStringLiteral("SGSIN"), QStringLiteral("LKCMB"), QStringLiteral("AEJEA"), 41225.0, 24360.0,
         QStringLiteral("CON"), 3, QStringLiteral("CONTAINERS"), d.dateToDb(arrival), QStringLiteral("6:30"), 0.0,
         QStringLiteral("N"), QStringLiteral("Y"), QStringLiteral("Y"), QStringLiteral("N"), QStringLiteral("Y"),
         QStringLiteral("Y"), QStringLiteral("PORT")});
    if (!s)
        return s;

    const QString cargoSql = QStringLiteral(
        "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, impadd1, "
        "impadd2, impadd3, notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, pkgs, pkgtype, "
        "grosswt, unitwt, volume, unitvol, marks, gdesc, unocode, imocode) "
        "values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QDate bl = QDate::currentDate().addDays(-12);
    const QList<QVariantList> lines = {
        {1, QStringLiteral("SEAPRL"), QStringLiteral("024E"), 1, QStringLiteral("SPLSIN240101"), d.dateToDb(bl),
         QStringLiteral("SGSIN"), QStringLiteral("INIXY1"), QStringLiteral("BHARAT ELECTRONICS TRADING CO"),
         QStringLiteral("UNIT 4, MAKER CHAMBERS"), QStringLiteral("NARIMAN POINT"), QStringLiteral("MUMBAI 400021"),
         QStringLiteral("SAME AS CONSIGNEE"), QString(), QString(), QString(), QStringLiteral("C"),
         QStringLiteral("GC"), QStringLiteral("LC"), 640, QStringLiteral("CTN"), 18450.5, QStringLiteral("KGS"), 0.0,
         QString(), QStringLiteral("BET/MUM/1-640"), QStringLiteral("ELECTRONIC COMPONENTS AND SPARE PARTS"),
         QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ")},
        {2, QStringLiteral("SEAPRL"), QStringLiteral("024E"), 2, QStringLiteral("SPLSIN240102"), d.dateToDb(bl),
         QStringLiteral("SGSIN"), QStringLiteral("INIXY1"), QStringLiteral("DECCAN CHEMICALS LTD"),
         QStringLiteral("PLOT 22, MIDC"), QStringLiteral("TALOJA"), QStringLiteral("NAVI MUMBAI 410208"),
         QStringLiteral("DECCAN CHEMICALS LTD"), QStringLiteral("PLOT 22, MIDC"), QStringLiteral("TALOJA"),
         QStringLiteral("NAVI MUMBAI 410208"), QStringLiteral("C"), QStringLiteral("GC"), QStringLiteral("LC"), 80,
         QStringLiteral("DRM"), 16800.0, QStringLiteral("KGS"), 0.0, QString(), QStringLiteral("DCL TALOJA"),
         QStringLiteral("RESIN SOLUTION, FLAMMABLE"), QStringLiteral("1866"), QStringLiteral("3")},
        {3, QStringLiteral("SEAPRL"), QStringLiteral("024E"), 3, QStringLiteral("SPLCMB240103"), d.dateToDb(bl),
         QStringLiteral("LKCMB"), QStringLiteral("INIXY1"), QStringLiteral("WESTERN INDIA TEXTILES"),
         QStringLiteral("23 MINT ROAD"), QStringLiteral("FORT"), QStringLiteral("MUMBAI 400001"),
         QStringLiteral("WESTERN INDIA TEXTILES"), QString(), QString(), QString(), QStringLiteral("P"),
         QStringLiteral("GC"), QStringLiteral("LC"), 120, QStringLiteral("BLS"), 21600.0, QStringLiteral("KGS"), 48.5,
         QStringLiteral("CBM"), QStringLiteral("WIT 1-120"), QStringLiteral("RAW COTTON BALES"),
         QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ")},
    };
    for (const QVariantList &line : lines) {
        if (Status st = db.exec(cargoSql, line); !st)
            return st;
    }

    const QString containSql = QStringLiteral(
        "insert into contain (ref, lineno, sublineno, containno, sealno, agentcode, constatus, conpkgs, conwt, "
        "isocode, socflag) values (?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QList<QVariantList> containers = {
        {1, 1, container(QStringLiteral("SPLU123456")), QStringLiteral("SG4471201"), QStringLiteral("SPLINE"),
         QStringLiteral("FCL"), 400, 11.25, QStringLiteral("45G1"), QStringLiteral("N")},
        {1, 1, container(QStringLiteral("SPLU765432")), QStringLiteral("SG4471202"), QStringLiteral("SPLINE"),
         QStringLiteral("FCL"), 240, 7.2, QStringLiteral("22G1"), QStringLiteral("N")},
        {2, 2, container(QStringLiteral("TCKU300871")), QStringLiteral("SG4471355"), QStringLiteral("SPLINE"),
         QStringLiteral("FCL"), 80, 16.8, QStringLiteral("22G1"), QStringLiteral("N")},
    };
    for (const QVariantList &c : containers) {
        if (Status st = db.exec(containSql, c); !st)
            return st;
    }
    return tx.commit();
}

} // namespace quarl::Installer
