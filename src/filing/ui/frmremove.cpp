#include "filing/ui/frmremove.h"

#include "core/prompter.h"
#include "core/ui/screenregistry.h"
#include "manifest/igmmessages.h"
#include "manifest/voyageremoval.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

frmRemove::frmRemove(QWidget *parent) : InterchangeScreen("frmRemove", QStringLiteral("Remove Data"), parent)
{
    auto *heading = new QLabel(QStringLiteral("Remove Data"), this);
    heading->setObjectName(QStringLiteral("lblHeading"));
    QFont f = heading->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    heading->setFont(f);
    QLineEdit *vesselCode = makeField(4, 10);
    QLineEdit *voyageNo = makeField(5, 10);
    vesselCode->setMaximumWidth(120);
    voyageNo->setMaximumWidth(120);
    chkWithVessel = new QCheckBox(QStringLiteral("&Delete Voyage Information also"), this);
    chkWithVessel->setObjectName(QStringLiteral("chkWithVessel"));
    auto *cmdRemove = makeButton("cmdRemove", QStringLiteral("&Remove"));
    auto *cmdCancel = makeButton("cmdCancel", QStringLiteral("C&lose"));

    auto *grid = new QGridLayout;
    auto *lblVessel = new QLabel(QStringLiteral("Vessel Code"), this);
    lblVessel->setBuddy(vesselCode);
    auto *lblVoyage = new QLabel(QStringLiteral("Voy No."), this);
    lblVoyage->setBuddy(voyageNo);
    grid->addWidget(lblVessel, 0, 0);
    grid->addWidget(vesselCode, 0, 1);
    grid->addWidget(lblVoyage, 1, 0);
    grid->addWidget(voyageNo, 1, 1);
    grid->addWidget(chkWithVessel, 2, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdRemove);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addWidget(heading, 0, Qt::AlignHCenter);
    top->addLayout(grid);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(360);

    setTabOrder(vesselCode, voyageNo);
    setTabOrder(voyageNo, chkWithVessel);
    setTabOrder(chkWithVessel, cmdRemove);
    setTabOrder(cmdRemove, cmdCancel);
    setFocusProxy(vesselCode);

    connect(cmdRemove, &QPushButton::clicked, this, &frmRemove::remove);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

void frmRemove::opened()
{
    Prompter::current().message(QLatin1String(igm::Messages::RemovalWarning), Prompter::Icon::Critical);
}

void frmRemove::remove()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const igm::RemovalResult r = igm::removeVoyage(database(), txtFields(4)->text(), txtFields(5)->text(),
                                                   chkWithVessel->isChecked(), [](const QString &question) {
                                                       QGuiApplication::restoreOverrideCursor();
                                                       // No the default: an Enter too many deletes nothing
                                                       const bool yes = Prompter::current().askYesNoDefaultNo(
                                                           question, Prompter::Icon::Question);
                                                       QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                                                       return yes;
                                                   });
    QGuiApplication::restoreOverrideCursor();
    showOutcome(r.outcome);
}

QUARL_REGISTER_SCREEN(frmRemove)

} // namespace quarl
