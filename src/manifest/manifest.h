#pragma once

#include "core/failure.h"
#include "manifest/finding.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>
#include <vector>

// The manifest of one vessel arrival as plain values: the voyage header, the bills of
// lading (house B/Ls under their master), the containers and goods items of each. Every
// reader fills it, every writer and the check read it; the store loads and saves it.
namespace quarl::igm {

// The tables a manifest is kept in.
namespace Table {
inline constexpr char Vessel[] = "vesinfo";
inline constexpr char Cargo[] = "cargo";
inline constexpr char Container[] = "contain";
inline constexpr char Item[] = "cargoitem"; // goods items of a line, where the database keeps them
inline constexpr char VesselMaster[] = "D_VESSEL_CD";
} // namespace Table

// The columns of the voyage header this program names, in table order (the key Id
// excluded). Columns it does not name travel as a row's extra columns.
enum class VoyageColumn {
    MsgName, MsgType, IgmNo, IgmDate, Name, Code, Voyage, LineCode, AgentCode, Master, Nation, PortArrival,
    LastPort, LastPort1, LastPort2, Grt, Nrt, Type, TotalItems, CargoDescription, ArrivalDate, ArrivalTime,
    LightDues, SameBottom, ShipStores, CrewList, PassengerList, CrewEffects, MaritimeDeclaration, TerminalOp,
    TerminalCode, ArrivalPortCode,
    Count
};
// The columns of a bill of lading (cargo), in table order.
enum class BillColumn {
    Id, Vessel, Voyage, LineNo, SubLineNo, BlNo, BlDate, HblNo, HblDate, PortLoad, PortDest, ImpName, ImpAdd1,
    ImpAdd2, ImpAdd3, NotName, NotAdd1, NotAdd2, NotAdd3, Nature, ItemType, Movement, DestCode, Pkgs, PkgType,
    GrossWt, UnitWt, Volume, UnitVol, Marks, Description, UnoCode, ImoCode, BondNo, CarrierCode, Mode, Mlo,
    Count
};
// The columns of a container (contain), in table order.
enum class ContainerColumn {
    AutoId, Ref, LineNo, SubLineNo, Number, Seal, Agent, Status, Pkgs, Weight, Iso, Soc,
    Count
};

const char *columnName(VoyageColumn c);
const char *columnName(BillColumn c);
const char *columnName(ContainerColumn c);

// The values of one row: the named columns by their enum, the others by column name.
// Values are as the database keeps them (text as QString, numbers as numbers or as the
// text a number column happened to hold) except dates, which are QDate; a null value
// is an invalid QVariant.
template<typename C>
class Row
{
public:
    const QVariant &operator[](C c) const { return m_values[size_t(c)]; }
    QVariant &operator[](C c) { return m_values[size_t(c)]; }
    QString text(C c) const { return m_values[size_t(c)].toString(); }
    bool isNull(C c) const { return m_values[size_t(c)].isNull(); }
    QDate date(C c) const { return m_values[size_t(c)].toDate(); }

    // columns this program does not name (those of later releases), by name in lower case
    QHash<QString, QVariant> extra;

    // Where the row was read, for messages: a line of a file (0 when loaded from the
    // database), and the vessel code and voyage number the record names in its file
    // (null when it names none), which must be those of the voyage header.
    qint64 fileLine = 0;
    QVariant fileVessel;
    QVariant fileVoyage;
    // Columns whose text in the file was refused (left null); the check has named them.
    quint64 refused = 0;
    bool wasRefused(C c) const { return refused & (quint64(1) << size_t(c)); }

private:
    static_assert(size_t(C::Count) <= 64);
    std::array<QVariant, size_t(C::Count)> m_values;
};

using VoyageHeader = Row<VoyageColumn>;

struct Container : Row<ContainerColumn>
{
};

// A goods item of a line: its columns by name (the table belongs to a later release).
struct Item
{
    QHash<QString, QVariant> columns;
    qint64 fileLine = 0;
};

struct Bill : Row<BillColumn>
{
    std::vector<Container> containers; // in file order, or by key when loaded
    std::vector<Item> items;
    std::vector<Bill> houses;           // house B/Ls (sub-line number above 0) under this master

    QString bill() const { return text(BillColumn::BlNo); }
};

// The vessel as the vessel code master knows it, or as a file tells it.
struct VesselMaster
{
    QString code;
    QVariant name, nation, grt, nrt, imo;
    bool stored = false; // the master holds a row for the code
};

struct Manifest
{
    QString vessel; // the voyage key: vessel code and voyage number as stored
    QString voyage;
    std::vector<VoyageHeader> headers; // normally one; older installations may keep two
    VesselMaster master;
    std::vector<Bill> bills;        // in the order they are filed

    qint64 containerCount() const;
    // Master bills and house bills, in filing order.
    qint64 billCount() const;
};

// The port of arrival and the terminal operator as filed: the columns kept for the filing,
// else the older ones unless they hold what is stored where nothing was keyed.
QString portOfArrival(const VoyageHeader &v);
QString terminalOperator(const VoyageHeader &v);

// Line numbers as a file is written: masters 1, 2, 3 ... in their order, and each house
// line with its master's number. Returns the number of master lines.
qint64 numberLines(Manifest &m);

// Where in a record a fault lies, for the import's message ("---Error Field : ...").
enum class Section { General, Vessel, Cargo, Container, Item };

// A fault found while a manifest is read, checked or stored: the check's finding (its text
// the check's wording, the failure's description when empty) with what the import says.
struct Problem : Finding
{
    Failure failure;                   // number and the import's text
    Section section = Section::General;
    QString column;                    // the column being set, for the import's message
    bool cancelled = false;            // the user stopped the work; no context in the message

    QString findingText() const { return text.isEmpty() ? failure.description : text; }
    // "number  text---Error Field : Cargo Information / column", as the import says it
    QString importMessage() const;
};

// Where faults go. An import stops at the first error; the check records every fault
// and reads on.
class Problems
{
public:
    virtual ~Problems() = default;
    // False when the work stops here.
    virtual bool raise(Problem problem) = 0;
};

// Keeps the first error and stops there, as an import does; warnings pass.
class FirstError : public Problems
{
public:
    bool raise(Problem p) override
    {
        if (p.severity == Problem::Severity::Warning)
            return true;
        if (!m_problem)
            m_problem = std::move(p);
        return false;
    }
    bool has() const { return m_problem.has_value(); }
    Problem problem() const { return m_problem.value_or(Problem()); }

private:
    std::optional<Problem> m_problem;
};

// Receives a manifest record by record, in file order: the header records, then the
// lines (a house line after its master), then the containers and items, each naming its
// line by number. False from any call stops the reading; the receiver has raised the
// reason with the reader's Problems.
class ManifestSink
{
public:
    virtual ~ManifestSink() = default;
    virtual bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master) = 0;
    virtual bool bill(Bill &&line) = 0;
    // The container's columns lineno and sublineno name its line: the master line of that
    // number, or its house line of that sub-line number when it has one.
    virtual bool container(Container &&container) = 0;
    virtual bool item(qint64 lineNo, qint64 subLineNo, Item &&item) = 0;
    // The reading is complete.
    virtual bool end() = 0;
};

// Feeds a manifest held in memory to a sink, as a reader of its file would.
bool replay(const Manifest &m, ManifestSink &sink);

// Collects what a reader delivers into a Manifest, containers and items under their lines:
// by the line's key where they carry it (from the database), else by line number.
class ManifestBuilder : public ManifestSink
{
public:
    explicit ManifestBuilder(Problems &problems) : m_problems(problems) {}
    bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master) override;
    bool bill(Bill &&line) override;
    bool container(Container &&container) override;
    bool item(qint64 lineNo, qint64 subLineNo, Item &&item) override;
    bool end() override { return true; }

    Manifest &manifest() { return m_manifest; }

private:
    Bill *find(qint64 lineNo, qint64 subLineNo);
    Bill *byKey(const QVariant &id);
    Problems &m_problems;
    Manifest m_manifest;
    QHash<qint64, qsizetype> m_byNumber;                 // line number to master line
    QHash<qint64, std::pair<qsizetype, qsizetype>> m_byKey; // line key to master line and house (-1)
};

} // namespace quarl::igm
