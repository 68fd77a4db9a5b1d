#include "manifest/syntheticvoyage.h"

#include "manifest/manifeststore.h"
#include "store/database.h"
#include "store/installer.h"

#include <QDate>
#include <QRandomGenerator>

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
    if (v.vessel.trimmed().isEmpty() || v.voyage.trimmed().isEmpty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("A voyage needs a vessel code and a voyage number."));
    auto existing = db.scalar(QStringLiteral("select (select count(*) from cargo where vslcode = ? and voyno = ?) + "
                                             "(select count(*) from vesinfo where vslcode = ? and voyno = ?)"),
                              {v.vessel, v.voyage, v.vessel, v.voyage});
    if (!existing)
        return existing.failure();
    if (existing->toLongLong() > 0)
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("Voyage %1 / %2 already holds data; remove it first.").arg(v.vessel, v.voyage));

    Manifest m;
    m.vessel = v.vessel;
    m.voyage = v.voyage;
    // the vessel code master learns the vessel, as the voyage screen expects
    m.master.code = v.vessel;
    m.master.name = QStringLiteral("SYNTHETIC TRADER");
    m.master.nation = QStringLiteral("IN");
    m.master.grt = 41225.5;
    m.master.nrt = 24360.0;
    m.master.imo = QStringLiteral("9387126");
    const QDate arrival(2024, 1, 20);
    VoyageHeader h;
    const std::pair<VoyageColumn, QVariant> header[] = {
        {VoyageColumn::Name, QStringLiteral("SYNTHETIC TRADER")}, {VoyageColumn::Code, v.vessel}, {VoyageColumn::Voyage, v.voyage},
        {VoyageColumn::LineCode, QStringLiteral("SYNLINE")}, {VoyageColumn::AgentCode, QStringLiteral("SYNAGENT")},
        {VoyageColumn::Master, QStringLiteral("ANIL KUMAR MENON")}, {VoyageColumn::Nation, QStringLiteral("IN")},
        {VoyageColumn::PortArrival, QStringLiteral("INNSA1")}, {VoyageColumn::LastPort, QStringLiteral("SGSIN")},
        {VoyageColumn::LastPort1, QStringLiteral("LKCMB")}, {VoyageColumn::LastPort2, QStringLiteral("AEJEA")}, {VoyageColumn::Grt, 41225.5},
        {VoyageColumn::Nrt, 24360.0}, {VoyageColumn::Type, QStringLiteral("CON")}, {VoyageColumn::TotalItems, qint64(v.lines)},
        {VoyageColumn::CargoDescription, QStringLiteral("CONTAINERS")}, {VoyageColumn::ArrivalDate, arrival},
        {VoyageColumn::ArrivalTime, QStringLiteral("06:30")}, {VoyageColumn::LightDues, 1250.75}, {VoyageColumn::SameBottom, QStringLiteral("N")},
        {VoyageColumn::ShipStores, QStringLiteral("Y")}, {VoyageColumn::CrewList, QStringLiteral("Y")}, {VoyageColumn::PassengerList, QStringLiteral("N")},
        {VoyageColumn::CrewEffects, QStringLiteral("Y")}, {VoyageColumn::MaritimeDeclaration, QStringLiteral("Y")},
        {VoyageColumn::TerminalOp, QStringLiteral("NSICT")}};
    for (const auto &[column, value] : header)
        h[column] = value;
    m.headers.push_back(std::move(h));

    QRandomGenerator rng(v.seed);
    std::vector<size_t> containerLines; // lines that carry containers
    const QString blPrefix = QStringLiteral("SYN%1").arg(v.voyage.trimmed().left(6));
    for (int i = 1; i <= v.lines; ++i) {
        const bool packaged = v.lines > 1 && i % 10 == 0;
        const QString nature = packaged ? QStringLiteral("P") : (i % 10 == 5 ? QStringLiteral("CP") : QStringLiteral("C"));
        if (!packaged)
            containerLines.push_back(size_t(i - 1));
        const bool transhipment = i % 7 == 3;
        const bool dangerous = i % 13 == 6;
        const quint32 r = rng.generate();
        const double volume = (i % 4 == 0) ? double(10 + r % 900) / 4.0 : 0.0;
        const std::pair<BillColumn, QVariant> values[] = {
            {BillColumn::Vessel, v.vessel},
            {BillColumn::Voyage, v.voyage},
            {BillColumn::LineNo, qint64(i)},
            {BillColumn::SubLineNo, qint64(0)},
            {BillColumn::BlNo, QStringLiteral("%1%2").arg(blPrefix).arg(i, 6, 10, QLatin1Char('0'))},
            {BillColumn::BlDate, arrival.addDays(-10 - int(r % 40))},
            {BillColumn::PortLoad, QLatin1String(pick(LoadPorts, r >> 3))},
            {BillColumn::PortDest, transhipment ? QStringLiteral("INMAA1") : QStringLiteral("INNSA1")},
            {BillColumn::ImpName, QLatin1String(pick(Importers, r >> 5))},
            {BillColumn::ImpAdd1, QLatin1String(pick(Streets, r >> 7))},
            {BillColumn::ImpAdd2, QStringLiteral("FORT")},
            {BillColumn::ImpAdd3, QLatin1String(pick(Towns, r >> 9))},
            {BillColumn::NotName, QStringLiteral("SAME AS CONSIGNEE")},
            {BillColumn::NotAdd1, QString()},
            {BillColumn::NotAdd2, QString()},
            {BillColumn::NotAdd3, QString()},
            {BillColumn::Nature, nature},
            {BillColumn::ItemType, QStringLiteral("GC")},
            {BillColumn::Movement, transhipment ? QStringLiteral("TI") : QStringLiteral("LC")},
            {BillColumn::DestCode, transhipment ? QStringLiteral("INMAA1") : QString()},
            {BillColumn::Pkgs, int(1 + (r >> 11) % 900)},
            {BillColumn::PkgType, QLatin1String(pick(Packages, r >> 13))},
            {BillColumn::GrossWt, double(1000 + (r >> 15) % 20000) + ((r & 1) ? 0.5 : 0.0)},
            {BillColumn::UnitWt, QStringLiteral("KGS")},
            {BillColumn::Volume, volume},
            {BillColumn::UnitVol, QStringLiteral("CBM")},
            {BillColumn::Marks, QStringLiteral("MARKS %1/1-%2").arg(i).arg(1 + (r >> 11) % 900)},
            {BillColumn::Description, QLatin1String(pick(Goods, r >> 17))},
            {BillColumn::UnoCode, dangerous ? QStringLiteral("1866") : QStringLiteral("ZZZZZ")},
            {BillColumn::ImoCode, dangerous ? QStringLiteral("3") : QStringLiteral("ZZZ")},
            {BillColumn::BondNo, transhipment ? double(200000 + i) : 0.0},
            {BillColumn::CarrierCode, transhipment ? QStringLiteral("CAC0001") : QString()},
            {BillColumn::Mode, transhipment ? QStringLiteral("R") : QString()},
            {BillColumn::Mlo, transhipment ? QStringLiteral("MLO0001") : QString()},
        };
        Bill line;
        for (const auto &[column, value] : values)
            line[column] = value;
        m.bills.push_back(std::move(line));
    }

    if (v.containers > 0 && containerLines.empty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("The voyage has no container lines."));
    // Spread evenly: the first lines get one container more when they do not divide.
    const qint64 perLine = containerLines.empty() ? 0 : v.containers / qint64(containerLines.size());
    const qint64 extra = containerLines.empty() ? 0 : v.containers % qint64(containerLines.size());
    qint64 serial = 0;
    for (size_t l = 0; l < containerLines.size(); ++l) {
        Bill &line = m.bills[containerLines[l]];
        const qint64 n = perLine + (qint64(l) < extra ? 1 : 0);
        qint64 held = 0;
        for (qint64 k = 0; k < n; ++k) {
            ++serial;
            const quint32 r = rng.generate();
            const QString owner = QStringLiteral("SYNU%1").arg(serial % 1000000, 6, 10, QLatin1Char('0'));
            // an empty box comes after a full one: every line holds packages
            const bool empty = k > 0 && r % 50 == 0;
            Container c;
            c[ContainerColumn::LineNo] = line[BillColumn::LineNo];
            c[ContainerColumn::SubLineNo] = qint64(0);
            c[ContainerColumn::Number] = owner + QString::number(Installer::containerCheckDigit(owner));
            c[ContainerColumn::Seal] = QStringLiteral("SL%1").arg(7000000 + serial);
            c[ContainerColumn::Agent] = QStringLiteral("SYNAGENT");
            c[ContainerColumn::Status] = empty ? QStringLiteral("MTY") : QStringLiteral("FCL");
            c[ContainerColumn::Pkgs] = empty ? 0 : int(1 + (r >> 4) % 400);
            c[ContainerColumn::Weight] = empty ? 0.0 : double(1 + (r >> 12) % 28) + double((r >> 20) % 4) / 4.0;
            c[ContainerColumn::Iso] = QLatin1String(pick(IsoCodes, r >> 22));
            c[ContainerColumn::Soc] = QStringLiteral("N");
            held += c[ContainerColumn::Pkgs].toLongLong();
            line.containers.push_back(std::move(c));
        }
        // a line declares the packages its containers hold, as a checked manifest does
        if (n > 0)
            line[BillColumn::Pkgs] = held;
    }
    SaveOptions options;
    options.withVessel = true;
    const SaveResult saved = saveManifest(db, m, options, [](const QString &) { return true; });
    if (!saved.outcome.isOk())
        return saved.outcome.failure;
    return Status::ok();
}

} // namespace quarl::igm
