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
    VesselRow h;
    const std::pair<V, QVariant> header[] = {
        {V::Name, QStringLiteral("SYNTHETIC TRADER")}, {V::Code, v.vessel}, {V::Voyage, v.voyage},
        {V::LineCode, QStringLiteral("SYNLINE")}, {V::AgentCode, QStringLiteral("SYNAGENT")},
        {V::Master, QStringLiteral("ANIL KUMAR MENON")}, {V::Nation, QStringLiteral("IN")},
        {V::PortArrival, QStringLiteral("INNSA1")}, {V::LastPort, QStringLiteral("SGSIN")},
        {V::LastPort1, QStringLiteral("LKCMB")}, {V::LastPort2, QStringLiteral("AEJEA")}, {V::Grt, 41225.5},
        {V::Nrt, 24360.0}, {V::Type, QStringLiteral("CON")}, {V::TotalItems, qint64(v.lines)},
        {V::CargoDescription, QStringLiteral("CONTAINERS")}, {V::ArrivalDate, arrival},
        {V::ArrivalTime, QStringLiteral("06:30")}, {V::LightDues, 1250.75}, {V::SameBottom, QStringLiteral("N")},
        {V::ShipStores, QStringLiteral("Y")}, {V::CrewList, QStringLiteral("Y")}, {V::PassengerList, QStringLiteral("N")},
        {V::CrewEffects, QStringLiteral("Y")}, {V::MaritimeDeclaration, QStringLiteral("Y")},
        {V::TerminalOp, QStringLiteral("NSICT")}};
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
        const std::pair<L, QVariant> values[] = {
            {L::Vessel, v.vessel},
            {L::Voyage, v.voyage},
            {L::LineNo, qint64(i)},
            {L::SubLineNo, qint64(0)},
            {L::BlNo, QStringLiteral("%1%2").arg(blPrefix).arg(i, 6, 10, QLatin1Char('0'))},
            {L::BlDate, arrival.addDays(-10 - int(r % 40))},
            {L::PortLoad, QLatin1String(pick(LoadPorts, r >> 3))},
            {L::PortDest, transhipment ? QStringLiteral("INMAA1") : QStringLiteral("INNSA1")},
            {L::ImpName, QLatin1String(pick(Importers, r >> 5))},
            {L::ImpAdd1, QLatin1String(pick(Streets, r >> 7))},
            {L::ImpAdd2, QStringLiteral("FORT")},
            {L::ImpAdd3, QLatin1String(pick(Towns, r >> 9))},
            {L::NotName, QStringLiteral("SAME AS CONSIGNEE")},
            {L::NotAdd1, QString()},
            {L::NotAdd2, QString()},
            {L::NotAdd3, QString()},
            {L::Nature, nature},
            {L::ItemType, QStringLiteral("GC")},
            {L::Movement, transhipment ? QStringLiteral("TI") : QStringLiteral("LC")},
            {L::DestCode, transhipment ? QStringLiteral("INMAA1") : QString()},
            {L::Pkgs, int(1 + (r >> 11) % 900)},
            {L::PkgType, QLatin1String(pick(Packages, r >> 13))},
            {L::GrossWt, double(1000 + (r >> 15) % 20000) + ((r & 1) ? 0.5 : 0.0)},
            {L::UnitWt, QStringLiteral("KGS")},
            {L::Volume, volume},
            {L::UnitVol, QStringLiteral("CBM")},
            {L::Marks, QStringLiteral("MARKS %1/1-%2").arg(i).arg(1 + (r >> 11) % 900)},
            {L::Description, QLatin1String(pick(Goods, r >> 17))},
            {L::UnoCode, dangerous ? QStringLiteral("1866") : QStringLiteral("ZZZZZ")},
            {L::ImoCode, dangerous ? QStringLiteral("3") : QStringLiteral("ZZZ")},
            {L::BondNo, transhipment ? double(200000 + i) : 0.0},
            {L::CarrierCode, transhipment ? QStringLiteral("CAC0001") : QString()},
            {L::Mode, transhipment ? QStringLiteral("R") : QString()},
            {L::Mlo, transhipment ? QStringLiteral("MLO0001") : QString()},
        };
        Line line;
        for (const auto &[column, value] : values)
            line[column] = value;
        m.lines.push_back(std::move(line));
    }

    if (v.containers > 0 && containerLines.empty())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("The voyage has no container lines."));
    // Spread evenly: the first lines get one container more when they do not divide.
    const qint64 perLine = containerLines.empty() ? 0 : v.containers / qint64(containerLines.size());
    const qint64 extra = containerLines.empty() ? 0 : v.containers % qint64(containerLines.size());
    qint64 serial = 0;
    for (size_t l = 0; l < containerLines.size(); ++l) {
        Line &line = m.lines[containerLines[l]];
        const qint64 n = perLine + (qint64(l) < extra ? 1 : 0);
        qint64 held = 0;
        for (qint64 k = 0; k < n; ++k) {
            ++serial;
            const quint32 r = rng.generate();
            const QString owner = QStringLiteral("SYNU%1").arg(serial % 1000000, 6, 10, QLatin1Char('0'));
            // an empty box comes after a full one: every line holds packages
            const bool empty = k > 0 && r % 50 == 0;
            Container c;
            c[K::LineNo] = line[L::LineNo];
            c[K::SubLineNo] = qint64(0);
            c[K::Number] = owner + QString::number(Installer::containerCheckDigit(owner));
            c[K::Seal] = QStringLiteral("SL%1").arg(7000000 + serial);
            c[K::Agent] = QStringLiteral("SYNAGENT");
            c[K::Status] = empty ? QStringLiteral("MTY") : QStringLiteral("FCL");
            c[K::Pkgs] = empty ? 0 : int(1 + (r >> 4) % 400);
            c[K::Weight] = empty ? 0.0 : double(1 + (r >> 12) % 28) + double((r >> 20) % 4) / 4.0;
            c[K::Iso] = QLatin1String(pick(IsoCodes, r >> 22));
            c[K::Soc] = QStringLiteral("N");
            held += c[K::Pkgs].toLongLong();
            line.containers.push_back(std::move(c));
        }
        // a line declares the packages its containers hold, as a checked manifest does
        if (n > 0)
            line[L::Pkgs] = held;
    }
    SaveOptions options;
    options.withVessel = true;
    const SaveResult saved = saveManifest(db, m, options, [](const QString &) { return true; });
    if (!saved.outcome.isOk())
        return saved.outcome.failure;
    return Status::ok();
}

} // namespace quarl::igm
