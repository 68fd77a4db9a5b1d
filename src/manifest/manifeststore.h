#pragma once

#include "manifest/manifest.h"
#include "manifest/outcome.h"

#include <QSet>

#include <functional>
#include <memory>
#include <tuple>

namespace quarl {
class Database;
}

namespace quarl::igm {

// How the lines of a voyage come out of the database: as stored, or as a flat file files
// them (the master lines numbered 1..n in key order, each container naming its line by
// that number, the header's line total set). A flat file carries no house B/Ls: they
// belong to the consolidator's own manifest, and their master line stands for them.
enum class Numbering { AsStored, AsFiled };

struct VoyageStream
{
    qint64 headers = 0;
    qint64 lines = 0;
    qint64 containers = 0;
    // as filed: the lines whose stored number differs from the filed one, with that number
    // (house B/Ls too: a house carries its master's); and whether a header's stored line
    // total differs from the number of lines
    std::vector<std::pair<qint64, qint64>> renumbered;
    bool totalsDiffer = false;
};

// Feeds the voyage to sink record by record, so that no voyage needs to be held whole: its
// header rows with the vessel as the vessel code master knows it, its lines in key order,
// their containers (in key order) and goods items. Vessel code and voyage number are used
// as given. The reads see one moment of the data: inside the caller's transaction when one
// is open, else in a read transaction of their own. A voyage without header rows feeds
// nothing. Stops where sink returns false.
// lines and containers: the columns read of them (with their keys and numbers), all when empty.
// With textAsBytes their text columns may come as the engine's UTF-8 bytes (QByteArray),
// which a writer takes as it is: the driver then converts nothing.
struct StreamColumns
{
    QList<BillColumn> lines;
    QList<ContainerColumn> containers;
    bool textAsBytes = false;
};
Result<VoyageStream> streamVoyage(const Database &db, const QString &vessel, const QString &voyage, ManifestSink &sink,
                                  Numbering numbering, const StreamColumns &columns = {});
// The number of header rows and of lines of a voyage.
Result<std::pair<qint64, qint64>> voyageExtent(const Database &db, const QString &vessel, const QString &voyage);

// The voyage held whole: house lines under their masters, containers and items under
// their lines. No header row gives a manifest without headers and lines.
Result<Manifest> loadVoyage(const Database &db, const QString &vessel, const QString &voyage);

// The voyage as today's message nests it, read a slice of lines at a time so that no voyage
// is held whole: master lines in key order, each with its house lines, containers and goods
// items, as loadVoyage holds them. What stays in memory is the outline: per line its key
// and numbers. Open it inside the caller's transaction, so that every reading sees one
// moment of the data.
class NestedVoyage
{
public:
    // A voyage without header rows has no headers and no lines.
    static Result<NestedVoyage> open(const Database &db, const QString &vessel, const QString &voyage);

    const std::vector<VoyageHeader> &headers() const { return m_headers; }
    const VesselMaster &master() const { return m_master; }
    qint64 masterCount() const { return m_masters; }
    // masters and houses
    qint64 billCount() const { return qint64(m_order.size()); }
    // the natures of cargo of the master lines, trimmed, in capitals
    const QSet<QString> &masterNatures() const { return m_natures; }

    // The master lines whole, in order, numbered as a file files them: masters 1..n, each
    // house line with its master's number and its sub-line number as stored. Stops where
    // take returns false.
    Status readBills(const std::function<bool(Bill &&)> &take) const;
    // Every container in the order of its lines as above (by key within a line), with whether
    // its line is a master line; columns: those read (all when empty).
    Status containers(const QList<ContainerColumn> &columns, const std::function<bool(Container &&, bool onMaster)> &take) const;
    // The lines whose stored numbers differ from those readBills() gives them: key, line number,
    // sub-line number as filed.
    std::vector<std::tuple<qint64, qint64, qint64>> renumbered() const;

private:
    struct Entry
    {
        qint64 id = 0;
        qint64 storedLine = 0, storedSub = 0;
        qint64 line = 0, sub = 0; // as filed
        bool master = true;
    };
    // slices of whole master lines: [begin, end) of m_order
    template<typename F>
    Status slices(F &&each) const;
    // The containers of the lines with keys low..high, by their place in the slice (at);
    // columns: those read (all when empty).
    Result<std::vector<std::vector<Container>>> sliceContainers(const QList<ContainerColumn> &columns, size_t size, qint64 low,
                                                                qint64 high, const QHash<qint64, size_t> &at) const;

    const Database *m_db = nullptr;
    QString m_vessel, m_voyage;
    std::vector<VoyageHeader> m_headers;
    VesselMaster m_master;
    std::vector<Entry> m_order; // in filing order
    qint64 m_masters = 0;
    QSet<QString> m_natures;
};

struct SaveOptions
{
    bool withVessel = false; // store the header rows too (and the vessel in the vessel code master)
    int keyGap = 0;          // new keys start this many above the largest plus 1
    std::function<bool()> cancelled;
    // The columns of lines and containers the source fills (all when empty); the others
    // are left to the table's defaults.
    QList<BillColumn> lines;
    QList<ContainerColumn> containers;
    // The containers and goods items of a line come right after it and its house B/Ls (as a
    // SAM file gives them): the house B/Ls of the lines before are not kept in memory.
    bool partsFollowTheirLine = false;
};

// Stores a manifest as it is read, record by record, with new keys: after confirm has
// answered "Import Data For V / N ?" (asked when the headers arrive), all in one
// transaction, committed at end(). Every line and container must name the header's
// voyage; line numbers may not repeat; the header's line total must be the lines'. A
// refusal or failure is raised with the file line, and nothing is stored.
class ManifestSaver : public ManifestSink
{
public:
    ManifestSaver(const Database &db, const SaveOptions &options, const Confirm &confirm, Problems &problems);
    ~ManifestSaver() override;

    bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master) override;
    bool bill(Bill &&line) override;
    bool container(Container &&container) override;
    bool item(qint64 lineNo, qint64 subLineNo, Item &&item) override;
    bool end() override;

    bool declined() const; // the question was answered No
    QString vessel() const; // as the header names them
    QString voyage() const;
    qint64 headersStored() const;
    qint64 lines() const;  // house B/Ls included
    qint64 houses() const; // of them
    qint64 containers() const;
    qint64 items() const;
    QStringList notices() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The same for a manifest held in memory (from a layout that reads a file whole).
struct SaveResult
{
    Outcome outcome;
    qint64 lines = 0;
    qint64 containers = 0;
};
SaveResult saveManifest(const Database &db, const Manifest &m, const SaveOptions &options, const Confirm &confirm);

} // namespace quarl::igm
