#include "igm/ui/frmcargorep.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "store/session.h"
#include "core/ui/screenregistry.h"
#include "igm/xmlinterchange.h"

#include <QDir>
#include <QGuiApplication>

namespace quarl {

namespace {
igm::XmlExportResult writeFiles(const QString &vessel, const QString &voyage)
{
    if (!QDir().mkpath(Installation::folder())) {
        igm::XmlExportResult r;
        r.outcome = igm::Outcome::failed(
            Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot create the program folder %1").arg(Installation::folder())));
        return r;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    igm::XmlExportResult r = igm::GenerateXmlFiles(Session::current().connection, Installation::folder(), vessel, voyage);
    QGuiApplication::restoreOverrideCursor();
    return r;
}
} // namespace

frmCargoRep::frmCargoRep(QWidget *parent)
    : VoyageSendScreen("frmCargoRep", QStringLiteral("Generate XML File (Cargo)"), parent)
{
}

void frmCargoRep::generate()
{
    showOutcome(writeFiles(vessel(), voyage()).outcome);
}

// Only a complete set of files is mailed: a voyage without lines, or a failed export,
// is said and nothing is sent.
void frmCargoRep::email()
{
    igm::XmlExportResult r = writeFiles(vessel(), voyage());
    r.outcome.message = r.outcome.isOk() ? QString() : r.outcome.message;
    if (!showOutcome(r.outcome))
        return;
    QStringList files = {r.cargoPath, r.containerPath};
    if (!r.itemsPath.isEmpty())
        files << r.itemsPath;
    mailFiles(files);
}

QUARL_REGISTER_SCREEN(frmCargoRep)

} // namespace quarl
