#include "filing/ui/frmimportsam.h"

#include "core/ui/capitals.h"
#include "core/ui/screenregistry.h"
#include "sam/samfile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quarl {

frmImportSAM::frmImportSAM(QWidget *parent)
    : FileImportScreen("frmImportSAM", QStringLiteral("Import SAM File"),
                       {QStringLiteral("&Browse SAM File"), QStringLiteral("Select SAM File Name"),
                        QStringLiteral("SAM files (*.json)"),
                        QStringLiteral("Select the SAM file to import (Browse SAM File).")},
                       parent)
{
    txtVessel = makeLineEdit("txtVessel", 10);
    takeCapitals(txtVessel);
    auto *vesselLabel = new QLabel(QStringLiteral("&Vessel Code"), this);
    vesselLabel->setObjectName(QStringLiteral("lblVessel"));
    vesselLabel->setBuddy(txtVessel);
    auto *hint = new QLabel(QStringLiteral("(empty: the vessel code of the file's IMO No. in Vessel Code Setup)"), this);
    hint->setObjectName(QStringLiteral("lblVesselHint"));
    finishScreen([&](QVBoxLayout *top) {
        auto *vesselRow = new QHBoxLayout;
        vesselRow->addWidget(vesselLabel);
        vesselRow->addWidget(txtVessel);
        vesselRow->addWidget(hint, 1);
        top->addLayout(vesselRow);
    });
}

igm::Outcome frmImportSAM::importFile(const QString &path, const igm::Progress &progress,
                                      const std::function<bool()> &cancelled, const igm::Confirm &confirm)
{
    igm::SamImportOptions options;
    options.vessel = txtVessel->text().trimmed();
    options.progress = progress;
    options.cancelled = cancelled;
    return igm::importSamFile(database(), path, options, confirm).outcome;
}

QUARL_REGISTER_SCREEN(frmImportSAM)

} // namespace quarl
