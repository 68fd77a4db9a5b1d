#pragma once

#include "manifest/manifest.h"
#include "manifest/outcome.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace quarl::igm {

// What a layout's writer needs beyond the manifest.
struct WriteOptions
{
    // From the settings (layoutWriteOptions() reads them) or given by the caller.
    QString iceGateUser{};
    QString customHouseCode{};
    QString testOrProduction = QStringLiteral("P");
    QString controlNumber{};
    QDateTime written = QDateTime::currentDateTime();
    QString fileName{}; // the file's own name, for a layout that names it inside
    Progress progress{}; // lines written out of the voyage's lines
};

// How a layout's reader reports and is stopped. An import stops at the first error;
// the check (checking) records every fault, also those an import lets pass, and reads on.
class ReadContext
{
public:
    ReadContext(Problems &problems, bool checking) : m_problems(problems), m_checking(checking) {}

    bool checking() const { return m_checking; }
    // False when the reading stops here.
    bool raise(Problem p) { return m_problems.raise(std::move(p)); }
    // A fault only the check reports (an import takes the file as it is).
    void note(Problem p)
    {
        if (m_checking)
            m_problems.raise(std::move(p));
    }
    // Progress now and then; false when the user has cancelled (raised as such).
    bool tick(qint64 fileLine, qint64 bytesRead);

    Progress progress;
    std::function<bool()> cancelled;
    qint64 size = 0; // of the file, for the progress
    // For a layout that names the vessel by its IMO number alone: our vessel code of that
    // number (empty when there is none). Unset, such a file cannot be read.
    std::function<QString(const QString &imo)> vesselFor;

private:
    Problems &m_problems;
    bool m_checking;
};

// Writes a manifest in a layout as its records come: the manifest as filed (lines
// numbered 1..n in their order, house lines as lines of their own, the header's line total
// set), so that no voyage needs to be held whole. status() says why it stopped.
class ManifestWriter : public ManifestSink
{
public:
    const Status &status() const { return m_status; }
    bool item(qint64, qint64, Item &&) override { return true; }

protected:
    bool fail(const Failure &f)
    {
        m_status = f;
        return false;
    }
    Status m_status;
};

// A file layout of the manifest: how it recognises itself, reads a file into the model
// and writes the model to a file. Every layout is listed in layouts(); header detection,
// quarlctl, Generate Flat-File and the check find them there.
class Layout
{
public:
    enum class Recognition {
        No,
        Yes,
        OtherVersion, // a header of this layout's kind naming a version it does not read
    };

    virtual ~Layout() = default;

    // The name in the settings (Options/IgmLayout) and for quarlctl --layout.
    virtual QString name() const = 0;
    // Other spellings taken for the name.
    virtual QStringList otherNames() const { return {}; }
    // The choice in System Parameters.
    virtual QString caption() const = 0;
    // From the first line of a file that is not blank (without its line end).
    virtual Recognition recognise(const QByteArray &firstLine, QString *version) const = 0;
    // Reads files whose first line no layout recognises.
    virtual bool readsHeaderlessFiles() const { return false; }
    // The name of the file written for a voyage.
    virtual QString fileName(const QString &vessel, const QString &voyage) const;
    virtual bool needsControlNumber() const { return false; }
    virtual bool needsTestIndicator() const { return false; }
    // The older import took each new key one ahead of the largest (the first line gets the
    // largest plus 2); its layout keeps that.
    virtual int keyGap() const { return 0; }
    // The gateway's length limits and Y/N fields are errors in this layout, warnings in
    // one the gateway no longer takes.
    virtual bool limitsAreErrors() const { return true; }

    // Reads a file: its records to sink, its faults to the context.
    virtual bool read(QIODevice &in, ManifestSink &sink, ReadContext &context) const = 0;
    // The manifest as a flat file files it: the master lines numbered and counted; their
    // house B/Ls belong to the consolidator's own manifest, never to lines of their own.
    void prepare(Manifest &m) const;
    // The columns of lines and containers the writer writes (all when empty): only these
    // are read for it.
    virtual QList<BillColumn> lineColumns() const { return {}; }
    virtual QList<ContainerColumn> containerColumns() const { return {}; }
    // A writer of the manifest as filed into out; notices name what the file lacks or had
    // to shorten.
    virtual std::unique_ptr<ManifestWriter> writer(QIODevice &out, const WriteOptions &options,
                                                   QStringList *notices) const = 0;

    // Where a column stands in this layout's records, for the check's findings:
    // "cargo field 38 (transit bond number)"; the column's caption where it has no field.
    virtual QString label(VoyageColumn column) const;
    virtual QString label(BillColumn column) const;
    virtual QString label(ContainerColumn column) const;
    // Rules of this layout on the voyage header (values it cannot file without), for the
    // check of a file and of a voyage before it is written.
    virtual void checkHeader(const VoyageHeader &header, const VesselMaster &master, Problems &problems) const;
};

// Writes a manifest held in memory in layout.
Status writeManifest(const Layout &layout, const Manifest &m, QIODevice &out, const WriteOptions &options,
                     QStringList *notices);

// What the check calls a column when no layout names it ("transit bond number").
QString caption(VoyageColumn column);
QString caption(BillColumn column);
QString caption(ContainerColumn column);
const char *captionText(VoyageColumn column);
const char *captionText(BillColumn column);
const char *captionText(ContainerColumn column);

} // namespace quarl::igm
