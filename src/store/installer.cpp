#include "store/installer.h"

#include "store/filer.h"

#include "core/installation.h"
#include "core/safefile.h"
#include "core/settings.h"
#include "store/database.h"
#include "store/datasourceregistry.h"
#include "store/filingfields.h"
#include "store/filings.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <tuple>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <vector>
#include <tuple>

namespace quarl::Installer {

namespace {

// What an unfinished installation made, taken away again unless it is kept: the last
// step first.
class Undo
{
public:
    ~Undo()
    {
        if (m_keep)
            return;
        for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it)
            (*it)();
    }
    void add(std::function<void()> step) { m_steps.push_back(std::move(step)); }
    void keep() { m_keep = true; }

private:
    std::vector<std::function<void()>> m_steps;
    bool m_keep = false;
};

// The journal, log and shared-memory files SQLite keeps beside a database file, removed
// when this goes.
class SideFiles
{
public:
    explicit SideFiles(QString dataFile) : m_file(std::move(dataFile)) {}
    ~SideFiles() { removeSideFiles(m_file); }

private:
    QString m_file;
};

// The installation folder and those made above it take the rule of every folder the
// program makes, whatever the umask; a folder that is there already keeps its rights.
Status makeFolder(const QString &folder, Undo *undo)
{
    QStringList made; // innermost first
    const Status s = FileRights::makeFolder(folder, &made);
    for (auto it = made.crbegin(); it != made.crend(); ++it)
        undo->add([f = *it] { QDir().rmdir(f); });
    return s;
}

Failure incomplete(const QString &what)
{
    return Failure(ErrorNumber::BadFileFormat, QStringLiteral("The data file is incomplete: %1.").arg(what));
}

// Every table of the list, with every column when columns is set.
Status checkTables(const Database &db, const QList<TableDef> &tables, bool columns)
{
    const QStringList present = db.tables();
    for (const TableDef &t : tables) {
        const QString table = QLatin1String(t.name);
        if (!present.contains(table, Qt::CaseInsensitive))
            return incomplete(QStringLiteral("the table %1 is missing").arg(table));
        if (!columns)
            continue;
        const QStringList have = db.columnNames(table);
        for (const ColumnDef &c : t.columns) {
            if (!have.contains(QLatin1String(c.name), Qt::CaseInsensitive))
                return incomplete(QStringLiteral("the column %1.%2 is missing").arg(table, QLatin1String(c.name)));
        }
    }
    return Status::ok();
}

// The tables and columns of a new company, its default user and its code masters.
Status checkCompany(const Database &db, Schema::CompanyOptions options)
{
    // Older releases lack the columns added since, and the tables and code masters of
    // release 2.2.0; the other tables are all there.
    const bool older = options.legacy || options.release210;
    QList<TableDef> tables = Schema::companyTables();
    if (older)
        tables.removeIf([](const TableDef &t) {
            return Filing::addedTables().contains(QLatin1String(t.name), Qt::CaseInsensitive)
                || QLatin1String(t.name) == QLatin1String(Filings::Table); // release 2.5.0
        });
    if (Status s = checkTables(db, tables, !older); !s)
        return s;
    QStringList filled{QStringLiteral("loguser")};
    for (const Schema::CodeMaster &cm : Schema::codeMasters()) {
        if (!older || !Filing::addedTables().contains(cm.table, Qt::CaseInsensitive))
            filled << cm.table;
    }
    for (const QString &table : filled) {
        auto rows = db.scalar(QStringLiteral("select count(*) from %1").arg(table));
        if (!rows)
            return rows.failure();
        if (rows->toLongLong() == 0)
            return incomplete(QStringLiteral("the table %1 is empty").arg(table));
    }
    return Status::ok();
}

// The rollback journal while a file is built: each commit is then in the file itself,
// and a full disk fails the commit that meets it, where the write-ahead log would keep
// part of the work in a file beside it.
Status useRollbackJournal(const Database &db)
{
    auto mode = db.scalar(QStringLiteral("pragma journal_mode = delete"));
    if (!mode)
        return mode.failure();
    if (mode->toString().compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
        return Failure(ErrorNumber::DatabaseError,
                       QStringLiteral("The data file cannot leave its write-ahead log (%1).").arg(mode->toString()));
    return Status::ok();
}

// A database built under a temporary name beside path, checked, and renamed into place
// only then; on any failure nothing is left, neither the file nor its journal.
Status buildFile(const QString &path, const std::function<Status(const Database &)> &fill,
                 const std::function<Status(const Database &)> &check)
{
    const QFileInfo info(path);
    if (info.exists())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("File %1 already exists.").arg(path));
    if (Status s = FileRights::makeFolder(info.absolutePath()); !s)
        return s;
    SafeFile file(info.absoluteFilePath(), SafeFile::Existing::Refuse);
    if (Status s = file.open(); !s)
        return s;
    if (Status s = file.finish(); !s)
        return s;
    const SideFiles sideFiles(file.tempPath());
    const auto build = [&]() -> Status {
        auto db = Database::openSqlite(file.tempPath());
        if (!db)
            return db.failure();
        if (Status s = useRollbackJournal(db.value()); !s)
            return s;
        return fill(db.value());
    };
    if (Status s = build(); !s)
        return SafeFile::naming(s.failure(), path);
    if (Status s = checkDataFile(file.tempPath(), check); !s)
        return SafeFile::naming(s.failure(), path);
    return file.commit();
}

} // namespace

void removeSideFiles(const QString &dataFile)
{
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(dataFile + QLatin1String(suffix));
}

Status checkDataFile(const QString &path, const std::function<Status(const Database &)> &check)
{
    const SideFiles sideFiles(path);
    auto db = Database::openSqlite(path);
    if (!db)
        return db.failure();
    auto q = db->query(QStringLiteral("pragma integrity_check"));
    if (!q)
        return q.failure();
    QStringList problems;
    while (q->next() && problems.size() < 3)
        problems << q->value(0).toString();
    q->finish();
    if (problems != QStringList{QStringLiteral("ok")})
        return Failure(ErrorNumber::BadFileFormat,
                       QStringLiteral("The data file is damaged: %1").arg(problems.join(QLatin1String("; "))));
    return check ? check(db.value()) : Status::ok();
}

Status createDataFile(const QString &path, Schema::CompanyOptions options)
{
    return buildFile(
        path, [&](const Database &db) { return Schema::createCompanyDatabase(db, options); },
        [&](const Database &db) { return checkCompany(db, options); });
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
    Undo undo;
    if (Status s = makeFolder(report.folder, &undo); !s)
        return s.failure();

    const QString existingSys = Settings::sysPath();
    if (!existingSys.isEmpty() && QFileInfo::exists(existingSys)) {
        report.alreadyThere = true;
        report.systemDatabase = existingSys;
        undo.keep();
        return report;
    }
    const auto madeHere = [&undo](const QString &file) { undo.add([file] { QFile::remove(file); }); };

    report.systemDatabase = Installation::filePath(QLatin1String(Installation::SystemDatabaseFileName));
    if (!QFileInfo::exists(report.systemDatabase)) {
        Status s = buildFile(
            report.systemDatabase,
            [&](const Database &db) {
                Status made = Schema::createSystemDatabase(db);
                if (!made || !demo)
                    return made;
                return db.exec(QStringLiteral("insert into DRCOMP (code, name, add1, add2, add3, telephone, dirname) "
                                              "values (?, ?, ?, ?, ?, ?, ?)"),
                               {1, QLatin1String(DemoCompanyName), QStringLiteral("Shipping House, 14 Ballard Estate"),
                                QStringLiteral("Fort"), QStringLiteral("Mumbai 400001"), QStringLiteral("+91 22 2261 0000"),
                                DataSourceRegistry::connectionText(QLatin1String(DemoDataSource))});
            },
            [](const Database &db) { return checkTables(db, Schema::systemTables(), true); });
        if (!s)
            return s.failure();
        madeHere(report.systemDatabase);
    }

    QString iceGateUser;
    QString customHouseCode;
    if (demo) {
        report.demoDataFile = Installation::filePath(QLatin1String(DemoDataSource));
        if (!QFileInfo::exists(report.demoDataFile)) {
            Status s = buildFile(
                report.demoDataFile,
                [](const Database &db) {
                    Status made = Schema::createCompanyDatabase(db);
                    return made ? addDemoData(db) : made;
                },
                [](const Database &db) { return checkCompany(db, {}); });
            if (!s)
                return s.failure();
            madeHere(report.demoDataFile);
        }
        DataSourceRegistry registry;
        const QString registryFile = Installation::filePath(QLatin1String(Installation::RegistryFileName));
        const bool registryThere = QFileInfo::exists(registryFile);
        const bool registered = registry.find(QLatin1String(DemoDataSource)).has_value();
        if (Status s = registry.registerFile(QLatin1String(DemoDataSource), report.demoDataFile); !s)
            return s.failure();
        if (!registryThere)
            madeHere(registryFile);
        else if (!registered)
            undo.add([] { std::ignore = DataSourceRegistry().remove(QLatin1String(DemoDataSource)); });
        if (demoGatewayCodes && Settings::iceGateUser().isEmpty())
            iceGateUser = QStringLiteral("DEMOAGENT");
        if (demoGatewayCodes && Settings::customHouseCode().isEmpty())
            customHouseCode = QStringLiteral("INNSA1");
    }
    // The empty company that Company Master's Create offers to copy from.
    report.templateDataFile = Installation::filePath(QLatin1String(TemplateDataFile));
    if (!QFileInfo::exists(report.templateDataFile)) {
        if (Status s = createDataFile(report.templateDataFile); !s)
            return s.failure();
        madeHere(report.templateDataFile);
    }
    // Written last, in one go: SYSPATH marks a complete installation.
    if (Status s = Settings::setInstallation(report.systemDatabase, iceGateUser, customHouseCode); !s)
        return s.failure();
    undo.keep();
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
        {QStringLiteral("SEAPRL"), QStringLiteral("SEA PEARL"), QStringLiteral("PA"), 41225.0, 24360.0, QStringLiteral("9387126")},
        {QStringLiteral("OCNGRC"), QStringLiteral("OCEAN GRACE"), QStringLiteral("LR"), 54774.0, 32109.0, QStringLiteral("9506344")},
        {QStringLiteral("KNKTRD"), QStringLiteral("KONKAN TRADER"), QStringLiteral("IN"), 9981.0, 5321.0, QStringLiteral("9188453")},
        {QStringLiteral("ARBBRZ"), QStringLiteral("ARABIAN BREEZE"), QStringLiteral("SG"), 27915.0, 13660.0, QStringLiteral("9472103")},
        {QStringLiteral("MRNSTR"), QStringLiteral("MARINE STAR"), QStringLiteral("MH"), 35881.0, 17042.0, QStringLiteral("9623776")},
    };
    for (const QVariantList &v : vessels) {
        if (Status s = db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt, IMO_NO) "
                                              "values (?, ?, ?, ?, ?, ?)"), v); !s)
            return s;
    }

    // The demo voyage arrives at the custom house the demo installation is set up for.
    const QString DemoPort = QStringLiteral("INNSA1");
    const QString DemoTerminal = QStringLiteral("NSICT");
    const Dialect &d = db.dialect();
    const QDate arrival = QDate::currentDate().addDays(-2);
    Status s = db.exec(
        QStringLiteral("insert into vesinfo (vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, "
                       "portarrival, lastport, lastport1, lastport2, grt, nrt, vsltype, TotItems, cargodesc, arrdt, "
                       "arrtime, lhdues, samebottom, shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, terminalop, "
                       "arrportcd, tocode, vcn, nextport, purpcall, shiptype, crewcount, paxcount) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                       "?)"),
        {QStringLiteral("SEA PEARL"), QStringLiteral("SEAPRL"), QStringLiteral("024E"), QStringLiteral("SPLINE"),
         QStringLiteral("DEMOAGENT"), QStringLiteral("RAJESH KUMAR NAIR"), QStringLiteral("PA"), DemoPort,
         QStringLiteral("SGSIN"), QStringLiteral("LKCMB"), QStringLiteral("AEJEA"), 41225.0, 24360.0,
         QStringLiteral("CON"), 3, QStringLiteral("CONTAINERS"), d.dateToDb(arrival), QStringLiteral("6:30"), 0.0,
         QStringLiteral("N"), QStringLiteral("Y"), QStringLiteral("Y"), QStringLiteral("N"), QStringLiteral("Y"),
         QStringLiteral("Y"), DemoTerminal, DemoPort, DemoTerminal,
         // today's filing: the call's number from the port, the next port, cargo operations
         // by a full container ship, the crew
         QStringLiteral("INNSA1%1%2").arg(arrival.year()).arg(QStringLiteral("0241")), QStringLiteral("INMUN1"),
         QStringLiteral("1"), QStringLiteral("511"), 22, 0});
    if (!s)
        return s;
    // The agency files the arrival manifest itself, signed by its manager.
    Filer::Details filer;
    filer.submitterType = QStringLiteral("ASA");
    filer.submitterCode = QStringLiteral("AABCD1234E");
    filer.signerPan = QStringLiteral("ABCPN4321K");
    if (Status st = Filer::write(db, filer); !st)
        return st;

    const QString cargoSql = QStringLiteral(
        "insert into cargo (id, vslcode, voyno, lineno, sublineno, blno, bldt, portload, portdest, impname, impadd1, "
        "impadd2, impadd3, notname, notadd1, notadd2, notadd3, naturecargo, itemtype, cargomove, pkgs, pkgtype, "
        "grosswt, unitwt, volume, unitvol, marks, gdesc, unocode, imocode) "
        "values (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QDate bl = QDate::currentDate().addDays(-12);
    const QList<QVariantList> lines = {
        {1, QStringLiteral("SEAPRL"), QStringLiteral("024E"), 1, QStringLiteral("SPLSIN240101"), d.dateToDb(bl),
         QStringLiteral("SGSIN"), DemoPort, QStringLiteral("BHARAT ELECTRONICS TRADING CO"),
         QStringLiteral("UNIT 4, MAKER CHAMBERS"), QStringLiteral("NARIMAN POINT"), QStringLiteral("MUMBAI 400021"),
         QStringLiteral("BHARAT ELECTRONICS TRADING CO"), QString(), QString(), QString(), QStringLiteral("C"),
         QStringLiteral("GC"), QStringLiteral("LC"), 640, QStringLiteral("CTN"), 18450.5, QStringLiteral("KGS"), 0.0,
         QString(), QStringLiteral("BET/MUM/1-640"), QStringLiteral("ELECTRONIC COMPONENTS AND SPARE PARTS"),
         QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ")},
        {2, QStringLiteral("SEAPRL"), QStringLiteral("024E"), 2, QStringLiteral("SPLSIN240102"), d.dateToDb(bl),
         QStringLiteral("SGSIN"), DemoPort, QStringLiteral("DECCAN CHEMICALS LTD"),
         QStringLiteral("PLOT 22, MIDC"), QStringLiteral("TALOJA"), QStringLiteral("NAVI MUMBAI 410208"),
         QStringLiteral("DECCAN CHEMICALS LTD"), QStringLiteral("PLOT 22, MIDC"), QStringLiteral("TALOJA"),
         QStringLiteral("NAVI MUMBAI 410208"), QStringLiteral("C"), QStringLiteral("GC"), QStringLiteral("LC"), 80,
         QStringLiteral("DRM"), 16800.0, QStringLiteral("KGS"), 0.0, QString(), QStringLiteral("DCL TALOJA"),
         QStringLiteral("RESIN SOLUTION, FLAMMABLE"), QStringLiteral("1866"), QStringLiteral("3")},
        {3, QStringLiteral("SEAPRL"), QStringLiteral("024E"), 3, QStringLiteral("SPLCMB240103"), d.dateToDb(bl),
         QStringLiteral("LKCMB"), DemoPort, QStringLiteral("WESTERN INDIA TEXTILES"),
         QStringLiteral("23 MINT ROAD"), QStringLiteral("FORT"), QStringLiteral("MUMBAI 400001"),
         QStringLiteral("WESTERN INDIA TEXTILES"), QString(), QString(), QString(), QStringLiteral("C"),
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
        {3, 3, container(QStringLiteral("SPLU228013")), QStringLiteral("LK0931746"), QStringLiteral("SPLINE"),
         QStringLiteral("FCL"), 120, 21.6, QStringLiteral("45G1"), QStringLiteral("N")},
    };
    for (const QVariantList &c : containers) {
        if (Status st = db.exec(containSql, c); !st)
            return st;
    }

    // What today's arrival manifest asks beyond the flat file: shipper, importer's code, city,
    // state and PIN, and the goods by HS code.
    const QString filingSql = QStringLiteral(
        "update cargo set shpname = ?, shpaddr = ?, shpcity = ?, shpcntry = ?, cnscity = ?, cnsstate = ?, "
        "cnsstatenm = ?, cnspin = ?, cnscntry = ?, cnscode = ?, cnscodetype = ? where id = ?");
    const QList<QVariantList> filing = {
        {QStringLiteral("LION CITY COMPONENTS PTE LTD"), QStringLiteral("18 UBI CRESCENT"), QStringLiteral("SINGAPORE"),
         QStringLiteral("SG"), QStringLiteral("MUMBAI"), QStringLiteral("27"), QStringLiteral("MAHARASHTRA"),
         QStringLiteral("400021"), QStringLiteral("IN"), QStringLiteral("0388012345"), QStringLiteral("IEC"), 1},
        {QStringLiteral("JURONG SPECIALITY RESINS PTE LTD"), QStringLiteral("7 SAKRA AVENUE"), QStringLiteral("SINGAPORE"),
         QStringLiteral("SG"), QStringLiteral("NAVI MUMBAI"), QStringLiteral("27"), QStringLiteral("MAHARASHTRA"),
         QStringLiteral("410208"), QStringLiteral("IN"), QStringLiteral("0305067891"), QStringLiteral("IEC"), 2},
        {QStringLiteral("CEYLON FIBRE EXPORTS PVT LTD"), QStringLiteral("42 GALLE ROAD"), QStringLiteral("COLOMBO"),
         QStringLiteral("LK"), QStringLiteral("MUMBAI"), QStringLiteral("27"), QStringLiteral("MAHARASHTRA"),
         QStringLiteral("400001"), QStringLiteral("IN"), QStringLiteral("0399123456"), QStringLiteral("IEC"), 3},
    };
    for (const QVariantList &f : filing) {
        if (Status st = db.exec(filingSql, f); !st)
            return st;
    }
    const QString itemSql = QStringLiteral(
        "insert into cargoitem (ref, itemseq, hscode, itemdesc, unocode, imocode, pkgs, pkgtype) values (?, 1, ?, ?, ?, ?, ?, ?)");
    const QList<QVariantList> items = {
        {1, QStringLiteral("854239"), QStringLiteral("ELECTRONIC COMPONENTS AND SPARE PARTS"), QStringLiteral("ZZZZZ"),
         QStringLiteral("ZZZ"), 640, QStringLiteral("CTN")},
        {2, QStringLiteral("390690"), QStringLiteral("RESIN SOLUTION, FLAMMABLE"), QStringLiteral("1866"), QStringLiteral("3"),
         80, QStringLiteral("DRM")},
        {3, QStringLiteral("520100"), QStringLiteral("RAW COTTON BALES"), QStringLiteral("ZZZZZ"), QStringLiteral("ZZZ"), 120,
         QStringLiteral("BLS")},
    };
    for (const QVariantList &i : items) {
        if (Status st = db.exec(itemSql, i); !st)
            return st;
    }
    return tx.commit();
}

} // namespace quarl::Installer
