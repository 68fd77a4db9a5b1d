#include "filing/ui/frmcargorep.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "core/safefile.h"
#include "core/ui/screenregistry.h"
#include "interchange/xmlinterchange.h"
#include "store/session.h"

#include <QDir>
#include <QGuiApplication>

namespace quarl {

namespace {
igm::XmlExportResult writeFiles(const QString &vessel, const QString &voyage)
{
    if (Status s = FileRights::makeFolder(Installation::folder()); !s) {
        igm::XmlExportResult r;
        r.outcome = igm::Outcome::failed(s.failure());
        return r;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    igm::XmlExportResult r = igm::generateXmlFiles(Session::current().connection, Installation::folder(), vessel, voyage);
    QGuiApplication::restoreOverrideCursor();
    return r;
}

// The files of an export: the goods items too where the database keeps them.
QStringList filesOf(const igm::XmlExportResult &r)
{
    QStringList files = {r.cargoPath, r.containerPath};
    if (!r.itemsPath.isEmpty())
        files << r.itemsPath;
    return files;
}
} // namespace

frmCargoRep::frmCargoRep(QWidget *parent)
    : VoyageSendScreen("frmCargoRep", QStringLiteral("Generate XML File (Cargo)"), parent)
{
}

// The files are offered to the removable media, as the flat file is.
void frmCargoRep::generate()
{
    igm::XmlExportResult r = writeFiles(vessel(), voyage());
    const bool written = r.outcome.isOk();
    if (written)
        r.outcome.message.clear(); // the question below names both files
    if (!showOutcome(r.outcome) || !written)
        return;
    QStringList names;
    for (const QString &f : filesOf(r))
        names << QDir::toNativeSeparators(f);
    const QString last = names.takeLast();
    const QString question = QStringLiteral("Files %1 and %2 successfully are saved in Program Folder, Copy Files to Floppy ? ")
                                 .arg(names.join(QStringLiteral(", ")), last);
    if (Prompter::current().askYesNo(question, Prompter::Icon::Question))
        copyToMedia(filesOf(r));
}

// Only a complete set of files is mailed: a voyage without lines, or a failed export,
// is said and nothing is sent.
void frmCargoRep::email()
{
    igm::XmlExportResult r = writeFiles(vessel(), voyage());
    r.outcome.message = r.outcome.isOk() ? QString() : r.outcome.message;
    if (!showOutcome(r.outcome))
        return;
    mailFiles(filesOf(r));
}

QUARL_REGISTER_SCREEN(frmCargoRep)

} // namespace quarl
