#include "filing/igmreader.h"

#include "filing/layouts.h"
#include "flatfile/flatfile.h"
#include "manifest/fileerror.h"
#include "manifest/igmmessages.h"
#include "manifest/layout.h"
#include "manifest/manifeststore.h"
#include "sam/samfile.h"
#include "store/blnumbers.h"
#include "store/database.h"

#include <QFile>
#include <QSet>
#include <QTemporaryFile>

#include <cerrno>
#include <memory>
#include <optional>
#include <tuple>

namespace quarl::igm {

namespace {

// A comma-delimited item without the double quotes around it.
QByteArray unquoted(const QByteArray &item)
{
    if (item.size() >= 2 && item.startsWith('"') && item.endsWith('"'))
        return item.mid(1, item.size() - 2);
    return item;
}

// "With Striping": the file's comma-delimited items without their quotes, joined without
// the commas, line by line, into a working copy of this import alone.
std::unique_ptr<QTemporaryFile> strip(const QString &source, Problem *problem)
{
    QFile in(source);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly)) {
        problem->failure = fileFailure(in, errno);
        return nullptr;
    }
    auto out = std::make_unique<QTemporaryFile>();
    errno = 0;
    if (!out->open()) {
        problem->failure = fileFailure(*out, errno);
        return nullptr;
    }
    TextLineReader reader(&in, Flat::MaxLineLength);
    QByteArray line;
    QByteArray buf;
    for (;;) {
        const TextLineReader::Result r = reader.next(&line);
        if (r == TextLineReader::Result::End)
            break;
        if (r == TextLineReader::Result::TooLong) {
            problem->failure = Failure(ErrorNumber::BadFileFormat,
                                       QStringLiteral("Line %1 is longer than %2 characters: this is not an IGM file.")
                                           .arg(reader.lineNumber() + 1)
                                           .arg(Flat::MaxLineLength));
            return nullptr;
        }
        if (r == TextLineReader::Result::ReadError) {
            problem->failure = fileFailure(in, errno);
            return nullptr;
        }
        for (const QByteArray &item : line.split(','))
            buf += unquoted(item);
        buf += Format::LineEnd;
        if (buf.size() > (1 << 20)) {
            errno = 0;
            if (out->write(buf) != buf.size()) {
                problem->failure = fileFailure(*out, errno);
                return nullptr;
            }
            buf.clear();
        }
    }
    errno = 0;
    if (out->write(buf) != buf.size() || !out->flush()) {
        problem->failure = fileFailure(*out, errno);
        return nullptr;
    }
    out->close();
    return out;
}

} // namespace

IgmImportResult importIgmFile(const Database &db, const QString &path, const IgmImportOptions &options,
                              const Confirm &confirm)
{
    IgmImportResult result;
    auto failed = [&](const Problem &p) {
        result.outcome = Outcome::failed(p.failure, p.importMessage());
        result.lines = result.containers = 0;
        result.vessels = 0;
        return result;
    };
    std::unique_ptr<QTemporaryFile> working;
    QString source = path;
    if (options.strip) {
        Problem p;
        working = strip(path, &p);
        if (!working)
            return failed(p);
        source = working->fileName();
    }
    QFile file(source);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        Problem p;
        p.failure = fileFailure(file, errno);
        return failed(p);
    }
    const Recognised recognised = recogniseFile(source);
    if (!recognised.layout) {
        result.outcome = Outcome::refused(unknownLayoutMessage(path, recognised));
        return result;
    }
    const Layout &layout = *recognised.layout;

    FirstError problems;
    SaveOptions save;
    save.withVessel = options.withVessel;
    save.keyGap = layout.keyGap();
    save.cancelled = options.cancelled;
    save.lines = layout.lineColumns();
    if (!save.lines.isEmpty())
        save.lines << BillColumn::Vessel << BillColumn::Voyage << BillColumn::SubLineNo;
    save.containers = layout.containerColumns();
    ManifestSaver saver(db, save, confirm, problems);
    ReadContext cx(problems, false);
    cx.progress = options.progress;
    cx.cancelled = options.cancelled;
    cx.size = file.size();
    // A SAM file names its vessel by IMO number: the vessel code master says whose it is.
    cx.vesselFor = [&db](const QString &imo) {
        const Result<QString> vessel = vesselOfImo(db, imo);
        return vessel ? vessel.value() : QString();
    };
    const bool read = layout.read(file, saver, cx);
    result.vessel = saver.vessel();
    result.voyage = saver.voyage();
    if (saver.declined()) {
        result.outcome = Outcome::declined();
        return result;
    }
    if (!read)
        return failed(problems.problem());
    if (options.progress)
        options.progress(file.size(), file.size());
    result.vessels = int(saver.headersStored());
    result.lines = saver.lines();
    result.containers = saver.containers();
    result.outcome = Outcome::done(QLatin1String(Messages::Imported));
    result.outcome.notices = saver.notices();
    return result;
}

namespace {

// The B/L numbers of a file's lines in their order, each once; reads past faults.
class BillNumbers : public ManifestSink, public Problems
{
public:
    bool raise(Problem) override { return true; }
    bool headers(std::vector<VoyageHeader> &&, VesselMaster &&) override { return true; }
    bool bill(Bill &&l) override
    {
        const QString bl = l.bill().trimmed();
        if (!bl.isEmpty() && !m_seen.contains(bl)) {
            m_seen.insert(bl);
            bills << bl;
        }
        return true;
    }
    bool container(Container &&) override { return true; }
    bool item(qint64, qint64, Item &&) override { return true; }
    bool end() override { return true; }
    QStringList bills;

private:
    QSet<QString> m_seen;
};

} // namespace

std::optional<Failure> blNumberTakenInFile(const Database &db, const QString &path, const QString &vessel,
                                           const QString &voyage)
{
    QFile file(path);
    const Recognised recognised = recogniseFile(path);
    if (!recognised.layout || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    BillNumbers numbers;
    ReadContext cx(numbers, true);
    cx.size = file.size();
    std::ignore = recognised.layout->read(file, numbers, cx);
    for (const QString &bl : std::as_const(numbers.bills)) {
        auto use = blNumberInUse(db, vessel, voyage, bl);
        if (!use)
            return std::nullopt;
        if (use.value())
            return blNumberTaken(bl, *use.value());
    }
    return std::nullopt;
}

} // namespace quarl::igm
