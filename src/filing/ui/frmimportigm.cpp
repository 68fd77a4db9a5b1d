#include "filing/ui/frmimportigm.h"

#include "core/ui/screenregistry.h"
#include "filing/igmreader.h"
#include "manifest/outcome.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace quarl {

frmImportIGM::frmImportIGM(QWidget *parent)
    : FileImportScreen("frmImportIGM", QStringLiteral("Import Igm File"),
                       {QStringLiteral("&Browse Cargo File"), QStringLiteral("Select IGM File Name"),
                        QStringLiteral("IGM files (*.igm)"),
                        QStringLiteral("Select the IGM file to import (Browse Cargo File).")},
                       parent)
{
    chkStrip = new QCheckBox(QStringLiteral("With &Striping"), this);
    chkStrip->setObjectName(QStringLiteral("chkStrip"));
    chkVessel = new QCheckBox(QStringLiteral("WIth &Vessel Information"), this);
    chkVessel->setObjectName(QStringLiteral("chkVessel"));
    finishScreen([this](QVBoxLayout *top) {
        top->addWidget(chkStrip);
        top->addWidget(chkVessel);
    });
}

igm::Outcome frmImportIGM::importFile(const QString &path, const igm::Progress &progress,
                                      const std::function<bool()> &cancelled, const igm::Confirm &confirm)
{
    igm::IgmImportOptions options;
    options.withVessel = chkVessel->isChecked();
    options.strip = chkStrip->isChecked();
    options.progress = progress;
    options.cancelled = cancelled;
    igm::IgmImportResult r = igm::importIgmFile(database(), path, options, confirm);
    if (r.outcome.kind == igm::Outcome::Kind::Failed && !r.vessel.isEmpty()) {
        // a line the company holds already: named, instead of the database's words
        if (const auto taken = igm::blNumberTakenInFile(database(), path, r.vessel, r.voyage))
            r.outcome.message = taken->description
                                + QStringLiteral(": the voyage is in this company already, and nothing of the file "
                                                 "was stored.");
    }
    return r.outcome;
}

QUARL_REGISTER_SCREEN(frmImportIGM)

} // namespace quarl
