#include "filing/ui/frmimportigm.h"

#include "core/ui/screenregistry.h"
#include "filing/igmreader.h"
#include "manifest/outcome.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

frmImportIGM::frmImportIGM(QWidget *parent) : InterchangeScreen("frmImportIGM", QStringLiteral("Import Igm File"), parent)
{
    Text1 = makeLineEdit("Text1", 1024);
    auto *Command1 = makeButton("Command1", QStringLiteral("&Browse Cargo File"));
    chkStrip = new QCheckBox(QStringLiteral("With &Striping"), this);
    chkStrip->setObjectName(QStringLiteral("chkStrip"));
    chkVessel = new QCheckBox(QStringLiteral("WIth &Vessel Information"), this);
    chkVessel->setObjectName(QStringLiteral("chkVessel"));
    auto *cmdImport = makeButton("cmdImport", QStringLiteral("&Import"));
    auto *cmdCancel = makeButton("cmdCancel", QStringLiteral("C&lose"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(Text1, 1);
    fileRow->addWidget(Command1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addLayout(fileRow);
    top->addWidget(chkStrip);
    top->addWidget(chkVessel);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(480);
    setFocusProxy(Text1);

    connect(Command1, &QPushButton::clicked, this, &frmImportIGM::browse);
    connect(cmdImport, &QPushButton::clicked, this, &frmImportIGM::import);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

void frmImportIGM::browse()
{
    browseFile(Text1, QStringLiteral("Select IGM File Name"), QStringLiteral("IGM files (*.igm)"));
}

void frmImportIGM::import()
{
    runImport(Text1, QStringLiteral("Select the IGM file to import (Browse Cargo File)."),
              [&](const QString &path, const igm::Progress &progress, const std::function<bool()> &cancelled,
                  const igm::Confirm &confirm) {
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
                                              + QStringLiteral(": the voyage is in this company already, and nothing "
                                                               "of the file was stored.");
                  }
                  return r.outcome;
              });
}

QUARL_REGISTER_SCREEN(frmImportIGM)

} // namespace quarl
