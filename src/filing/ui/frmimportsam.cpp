#include "filing/ui/frmimportsam.h"

#include "core/ui/capitals.h"
#include "core/ui/screenregistry.h"
#include "sam/samfile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

frmImportSAM::frmImportSAM(QWidget *parent) : InterchangeScreen("frmImportSAM", QStringLiteral("Import SAM File"), parent)
{
    Text1 = makeLineEdit("Text1", 1024);
    auto *Command1 = makeButton("Command1", QStringLiteral("&Browse SAM File"));
    txtVessel = makeLineEdit("txtVessel", 10);
    takeCapitals(txtVessel);
    auto *vesselLabel = new QLabel(QStringLiteral("&Vessel Code"), this);
    vesselLabel->setObjectName(QStringLiteral("lblVessel"));
    vesselLabel->setBuddy(txtVessel);
    auto *hint = new QLabel(QStringLiteral("(empty: the vessel code of the file's IMO No. in Vessel Code Setup)"), this);
    hint->setObjectName(QStringLiteral("lblVesselHint"));
    auto *cmdImport = makeButton("cmdImport", QStringLiteral("&Import"));
    auto *cmdCancel = makeButton("cmdCancel", QStringLiteral("C&lose"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(Text1, 1);
    fileRow->addWidget(Command1);
    auto *vesselRow = new QHBoxLayout;
    vesselRow->addWidget(vesselLabel);
    vesselRow->addWidget(txtVessel);
    vesselRow->addWidget(hint, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addLayout(fileRow);
    top->addLayout(vesselRow);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(480);
    setFocusProxy(Text1);

    connect(Command1, &QPushButton::clicked, this, &frmImportSAM::browse);
    connect(cmdImport, &QPushButton::clicked, this, &frmImportSAM::import);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

void frmImportSAM::browse()
{
    browseFile(Text1, QStringLiteral("Select SAM File Name"), QStringLiteral("SAM files (*.json)"));
}

void frmImportSAM::import()
{
    runImport(Text1, QStringLiteral("Select the SAM file to import (Browse SAM File)."),
              [&](const QString &path, const igm::Progress &progress, const std::function<bool()> &cancelled,
                  const igm::Confirm &confirm) {
                  igm::SamImportOptions options;
                  options.vessel = txtVessel->text().trimmed();
                  options.progress = progress;
                  options.cancelled = cancelled;
                  return igm::importSamFile(database(), path, options, confirm).outcome;
              });
}

QUARL_REGISTER_SCREEN(frmImportSAM)

} // namespace quarl
