#include "filing/ui/frmsamrep.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "manifest/igmmessages.h"
#include "sam/samfile.h"
#include "sam/samfilings.h"
#include "sam/samreply.h"
#include "store/filings.h"
#include "store/session.h"

#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>

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
    // The voyage's filings: read only, reached by Alt+F or Tab.
    auto *filingsLabel = new QLabel(QStringLiteral("&Filings of the Voyage"), this);
    m_filings = new QTableWidget(0, 9, this);
    m_filings->setObjectName(QStringLiteral("tblFilings"));
    m_filings->setHorizontalHeaderLabels({QStringLiteral("Written"), QStringLiteral("Job No."), QStringLiteral("Job Date"),
                                          QStringLiteral("Type"), QStringLiteral("Lines"), QStringLiteral("Houses"),
                                          QStringLiteral("Containers"), QStringLiteral("Status"), QStringLiteral("File")});
    m_filings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_filings->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_filings->setSelectionMode(QAbstractItemView::SingleSelection);
    m_filings->setTabKeyNavigation(false);
    m_filings->setFocusPolicy(Qt::StrongFocus);
    m_filings->verticalHeader()->hide();
    m_filings->horizontalHeader()->setStretchLastSection(true);
    m_filings->setMinimumHeight(120);
    filingsLabel->setBuddy(m_filings);
    if (auto *box = qobject_cast<QBoxLayout *>(layout())) {
        box->insertWidget(1, note);
        box->insertWidget(2, filingsLabel);
        box->insertWidget(3, m_filings, 1);
    }
    setTabOrder(txtFields(3), m_filings);
    for (int field : {4, 5})
        connect(txtFields(field), &QLineEdit::editingFinished, this, [this] { showFilings(); });
}

void frmSamRep::showFilings()
{
    m_filings->setRowCount(0);
    if (vessel().trimmed().isEmpty() || voyage().trimmed().isEmpty())
        return;
    const Database db = database();
    if (!db.isValid())
        return; // no company open: nothing to list
    const Result<bool> kept = Filings::kept(db);
    if (!kept || !kept.value())
        return; // said when a file is written
    Result<QList<Filings::Filing>> list = Filings::list(db, vessel(), voyage());
    if (!list)
        return;
    m_filings->setRowCount(int(list->size()));
    int row = 0;
    for (const Filings::Filing &f : list.value()) {
        const QStringList cells{f.written.toString(QStringLiteral("dd/MM/yyyy HH:mm")), QString::number(f.jobNumber),
                                f.jobDate.toString(QStringLiteral("dd/MM/yyyy")),
                                f.messageType + (f.indicator == QLatin1String("T") ? QStringLiteral(" (test)") : QString()),
                                QString::number(f.lines), QString::number(f.houses), QString::number(f.containers),
                                f.stateText(), f.fileName()};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            item->setToolTip(c == 8 ? QDir::toNativeSeparators(f.path)
                                    : QStringLiteral("%1 on %2").arg(f.user, f.workstation));
            m_filings->setItem(row, c, item);
        }
        ++row;
    }
    m_filings->resizeColumnsToContents();
}

igm::SamWriteResult frmSamRep::run(bool checkOnly)
{
    igm::SamWriteOptions options;
    options.iceGateUser = Settings::iceGateUser();
    options.customHouseCode = Settings::customHouseCode();
    options.testOrProduction = Settings::igmTestIndicator();
    options.checkOnly = checkOnly;
    options.user = Session::current().userId;
    options.workstation = QSysInfo::machineHostName();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    igm::SamWriteResult r = igm::writeSamFile(database(), Installation::folder(), vessel(), voyage(), options);
    QGuiApplication::restoreOverrideCursor();
    return r;
}

QString frmSamRep::writeFile()
{
    const igm::SamWriteResult r = run(false);
    showFilings();
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
    const Database db = database();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    Result<igm::ReplyOfFiling> r = igm::readReplyOfFiling(&db, path);
    QGuiApplication::restoreOverrideCursor();
    if (!r) {
        Prompter::current().message(r.failure().numberAndText(), Prompter::Icon::Critical);
        return;
    }
    const igm::GatewayReply &reply = r->reply;
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
    QString summary = reply.summary();
    if (r->filing)
        summary += QStringLiteral("\nIt answers job number %1 of %2, voyage %3 / %4%5.")
                       .arg(r->filing->jobNumber)
                       .arg(r->filing->jobDate.toString(QStringLiteral("dd/MM/yyyy")), r->filing->vessel.trimmed(),
                            r->filing->voyage.trimmed(), r->stored ? QStringLiteral(", where it is stored") : QString());
    if (!reply.reference.isEmpty())
        summary += QStringLiteral("\nVoyage reference %1.").arg(reply.reference);
    if (!r->declaration.isEmpty())
        summary += QStringLiteral("\nB/L numbers from %1.").arg(QDir::toNativeSeparators(r->declaration));
    else if (!r->filing)
        summary += QStringLiteral("\nThe file it answers is not beside it: B/L numbers are not named.");
    for (const QString &n : r->notes)
        summary += QLatin1Char('\n') + n;
    showFilings();
    Prompter::current().messageWithList(summary, lines,
                                        reply.accepted() ? Prompter::Icon::Information : Prompter::Icon::Critical,
                                        QStringLiteral("Read Reply"));
}

QUARL_REGISTER_SCREEN(frmSamRep)

} // namespace quarl
