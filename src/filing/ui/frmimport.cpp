#include "filing/ui/frmimport.h"

#include "core/ui/screenregistry.h"
#include "interchange/xmlinterchange.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

frmImport::frmImport(QWidget *parent) : InterchangeScreen("frmImport", QStringLiteral("Import Cargo / Container"), parent)
{
    Text1 = makeLineEdit("Text1", 1024);
    auto *Command1 = makeButton("Command1", QStringLiteral("Browse C&argo File"));
    Text2 = makeLineEdit("Text2", 1024);
    auto *Command2 = makeButton("Command2", QStringLiteral("Browse C&ontainer File"));
    QLineEdit *vesselCode = makeField(4, 10);
    QLineEdit *voyageNo = makeField(5, 10);
    vesselCode->setMaximumWidth(120);
    voyageNo->setMaximumWidth(120);
    auto *cmdImport = makeButton("cmdImport", QStringLiteral("&Import"));
    auto *cmdCancel = makeButton("cmdCancel", QStringLiteral("C&lose"));

    auto *grid = new QGridLayout;
    grid->addWidget(Text1, 0, 0, 1, 3);
    grid->addWidget(Command1, 0, 3);
    grid->addWidget(Text2, 1, 0, 1, 3);
    grid->addWidget(Command2, 1, 3);
    auto *lblVessel = new QLabel(QStringLiteral("Vessel Code"), this);
    lblVessel->setBuddy(vesselCode);
    auto *lblVoyage = new QLabel(QStringLiteral("Voy No."), this);
    lblVoyage->setBuddy(voyageNo);
    grid->addWidget(lblVessel, 2, 0);
    grid->addWidget(vesselCode, 2, 1);
    grid->addWidget(lblVoyage, 3, 0);
    grid->addWidget(voyageNo, 3, 1);
    grid->setColumnStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(520);

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, vesselCode);
    setTabOrder(vesselCode, voyageNo);
    setTabOrder(voyageNo, cmdImport);
    setTabOrder(cmdImport, cmdCancel);
    setFocusProxy(Text1);

    connect(Command1, &QPushButton::clicked, this, [this] { browse(Text1, QStringLiteral("Select Cargo File")); });
    connect(Command2, &QPushButton::clicked, this, [this] { browse(Text2, QStringLiteral("Select Container File")); });
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::import);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

void frmImport::browse(QLineEdit *target, const QString &title)
{
    // The other file usually lies beside the first one chosen.
    browseFile(target, title, QStringLiteral("XML files (*.xml)"), target == Text1 ? Text2->text() : Text1->text());
}

void frmImport::import()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const igm::XmlImportResult r = igm::importXmlFiles(database(), trimmedRight(Text1->text()), trimmedRight(Text2->text()),
                                                       txtFields(4)->text(), txtFields(5)->text());
    QGuiApplication::restoreOverrideCursor();
    showOutcome(r.outcome);
}

QUARL_REGISTER_SCREEN(frmImport)

} // namespace quarl
