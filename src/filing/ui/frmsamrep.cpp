#include "filing/ui/frmsamrep.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "manifest/igmmessages.h"
#include "sam/samfile.h"
#include "sam/samreply.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

namespace quarl {

namespace {

QStringList shown(const igm::SamCheckReport &report)
{
    QStringList lines;
    for (const igm::Finding &f : report.findings)
        lines << igm::samFindingText(f);
    if (report.unlisted() > 0)
        lines << QStringLiteral("... and %1 more finding(s) not listed.").arg(report.unlisted());
    return lines;
}

} // namespace

frmSamRep::frmSamRep(QWidget *parent)
    : GenerateScreen("frmSamRep", QStringLiteral("Generate SAM (SCMTR)"),
                     QStringLiteral("List what the voyage still lacks for filing, without writing the file"), parent)
{
    auto *cmdReply = makeButton("cmdReply", QStringLiteral("&Read Reply"));
    cmdReply->setToolTip(QStringLiteral("List the errors of the gateway's reply (_SFL or _ACK file)"));
    addCommand(cmdReply);
    connect(cmdReply, &QPushButton::clicked, this, [this] { readReply(); });

    // The file goes to ICEGATE's signing utility before upload; the clerk must know it is unsigned.
    auto *note = new QLabel(QStringLiteral("The signature (digSign) is written empty: sign the file with ICEGATE's "
                                           "signing utility before uploading it."),
                            this);
    note->setObjectName(QStringLiteral("lblSignature"));
    note->setWordWrap(true);
    if (auto *box = qobject_cast<QBoxLayout *>(layout()))
        box->insertWidget(1, note);
}

igm::SamWriteResult frmSamRep::run(bool checkOnly)
{
    igm::SamWriteOptions options;
    options.iceGateUser = Settings::iceGateUser();
    options.customHouseCode = Settings::customHouseCode();
    options.testOrProduction = Settings::igmTestIndicator();
    options.checkOnly = checkOnly;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    igm::SamWriteResult r = igm::writeSamFile(database(), Installation::folder(), vessel(), voyage(), options);
    QGuiApplication::restoreOverrideCursor();
    return r;
}

QString frmSamRep::writeFile()
{
    const igm::SamWriteResult r = run(false);
    if (r.check.errors() > 0) {
        Prompter::current().messageWithList(r.outcome.message, shown(r.check), Prompter::Icon::Critical,
                                            QStringLiteral("Check"));
        return {};
    }
    if (!r.outcome.isOk()) {
        showOutcome(r.outcome);
        return {};
    }
    QString summary = r.outcome.notices.join(QLatin1Char('\n'));
    if (!summary.isEmpty())
        summary += QLatin1Char('\n');
    summary +=
        QStringLiteral("File %1 is written with job number %2: %3, %4; %5.\nThe signature (digSign) is empty: "
                       "sign the file with ICEGATE's signing utility before uploading it.")
            .arg(QDir::toNativeSeparators(r.path))
            .arg(r.jobNumber)
            .arg(counted(r.lines, "line"), counted(r.containers, "container"), counted(r.check.warnings(), "warning"));
    Prompter::current().messageWithList(summary, shown(r.check), iconFor(r.check.errors(), r.check.warnings()), QStringLiteral("Generate SAM"));
    return r.path;
}

void frmSamRep::check()
{
    const igm::SamWriteResult r = run(true);
    if (!r.outcome.isOk()) {
        showOutcome(r.outcome);
        return;
    }
    const QString summary = QStringLiteral("Voyage %1 / %2: %3 lines, %4 containers; %5, %6.")
                                .arg(vessel().trimmed(), voyage().trimmed())
                                .arg(r.lines)
                                .arg(r.containers)
                                .arg(counted(r.check.errors(), "error"), counted(r.check.warnings(), "warning"));
    Prompter::current().messageWithList(summary, shown(r.check), iconFor(r.check.errors(), r.check.warnings()), QStringLiteral("Check"));
}

void frmSamRep::readReply()
{
    const QString path = Prompter::current().openFileName(QStringLiteral("Open the Gateway's Reply"),
                                                          QStringLiteral("Gateway replies (*_SFL.json *_ACK.json);;JSON files (*.json)"),
                                                          Installation::folder());
    if (path.isEmpty())
        return;
    QString used;
    const Result<igm::GatewayReply> r = igm::readGatewayReply(path, {}, &used);
    if (!r) {
        Prompter::current().message(r.failure().numberAndText(), Prompter::Icon::Critical);
        return;
    }
    const igm::GatewayReply &reply = r.value();
    QStringList lines;
    for (const igm::Finding &e : reply.errors)
        lines << igm::replyFindingText(e);
    if (reply.unlisted > 0)
        lines << QStringLiteral("... and %1 more error(s) not listed.").arg(reply.unlisted);
    for (const igm::ReplyIdentifier &id : reply.identifiers)
        lines << QStringLiteral("Line %1%2%3: %4 %5")
                     .arg(id.lineNo)
                     .arg(id.subLineNo > 0 ? QStringLiteral(" sub-line %1").arg(id.subLineNo) : QString())
                     .arg(id.blNo.isEmpty() ? QString() : QStringLiteral(" B/L ") + id.blNo)
                     .arg(id.type, id.number);
    const QString summary =
        reply.summary()
        + (used.isEmpty() ? QStringLiteral("\nThe file it answers is not beside it: B/L numbers are not named.")
                          : QStringLiteral("\nB/L numbers from %1.").arg(QDir::toNativeSeparators(used)));
    Prompter::current().messageWithList(summary, lines,
                                        reply.accepted() ? Prompter::Icon::Information : Prompter::Icon::Critical,
                                        QStringLiteral("Read Reply"));
}

QUARL_REGISTER_SCREEN(frmSamRep)

} // namespace quarl
