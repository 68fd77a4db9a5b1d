#include "filing/ui/frmvslrep.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "filing/igmcheck.h"
#include "filing/igmwriter.h"
#include "filing/layouts.h"
#include "manifest/igmmessages.h"
#include "manifest/layout.h"

#include <QDir>
#include <QGuiApplication>
#include <QPushButton>

namespace quarl {

namespace {

QString count(int n, const char *one)
{
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one)) : QStringLiteral("%1 %2s").arg(n).arg(QLatin1String(one));
}

// The check of the file, its codes compared with the company's masters where they can be read.
struct CheckShown
{
    igm::CheckReport report;
    QString summary;
    QStringList lines;
};

CheckShown checkFile(const Database &db, const QString &path)
{
    CheckShown c;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<igm::CodeLists> codes = igm::loadCodeLists(db);
    c.report = igm::checkIgmFile(path, codes.isOk() ? &codes.value() : nullptr);
    QGuiApplication::restoreOverrideCursor();
    // each finding names the file's line and the bill of lading the clerk knows it by
    for (const igm::Finding &f : c.report.findings)
        c.lines << igm::flatFileFindingText(f);
    c.summary = QStringLiteral("File %1: %2, %3.")
                    .arg(QDir::toNativeSeparators(path), count(c.report.errors(), "error"),
                         count(c.report.warnings(), "warning"));
    if (!codes.isOk())
        c.summary += QStringLiteral("\nThe codes were not compared with the masters: %1").arg(codes.failure().numberAndText());
    return c;
}

} // namespace

frmVslRep::frmVslRep(QWidget *parent) : VoyageSendScreen("frmVslRep", QStringLiteral("Generate Flat-File"), parent)
{
    auto *cmdCheck = makeButton("cmdCheck", QStringLiteral("&Check"));
    cmdCheck->setToolTip(QStringLiteral("Write the file and list what would stop or trouble its filing"));
    addCommand(cmdCheck);
    connect(cmdCheck, &QPushButton::clicked, this, [this] { check(); });
}

void frmVslRep::opened()
{
    if (Settings::iceGateUser().trimmed().isEmpty() || Settings::customHouseCode().trimmed().isEmpty())
        Prompter::current().message(QLatin1String(igm::Messages::SettingsMissingAdvice));
}

QString frmVslRep::writeFile()
{
    if (!QDir().mkpath(Installation::folder())) {
        Prompter::current().message(QStringLiteral("%1  Cannot create the program folder %2")
                                        .arg(ErrorNumber::PathFileAccess)
                                        .arg(Installation::folder()),
                                    Prompter::Icon::Critical);
        return {};
    }
    const auto layout = igm::settingsLayout();
    if (!layout) {
        Prompter::current().message(layout.failure().description, Prompter::Icon::Critical);
        return {};
    }
    const auto options = igm::settingsWriteOptions(*layout.value());
    if (!options) {
        Prompter::current().message(options.failure().numberAndText(), Prompter::Icon::Critical);
        return {};
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const igm::IgmWriteResult r =
        igm::generateIgmFileInLayout(database(), *layout.value(), Installation::folder(), vessel(), voyage(), options.value());
    QGuiApplication::restoreOverrideCursor();
    // The writer's success carries no text of its own; its notices still show.
    if (!showOutcome(r.outcome))
        return {};
    return r.path;
}

void frmVslRep::check()
{
    const QString path = writeFile();
    if (path.isEmpty())
        return;
    const CheckShown c = checkFile(database(), path);
    const Prompter::Icon icon = c.report.errors() > 0     ? Prompter::Icon::Critical
                                : c.report.warnings() > 0 ? Prompter::Icon::Warning
                                                          : Prompter::Icon::Information;
    Prompter::current().messageWithList(c.summary, c.lines, icon, QStringLiteral("Check"));
}

bool frmVslRep::handOnDespiteErrors(const QString &path)
{
    const CheckShown c = checkFile(database(), path);
    if (c.report.errors() == 0)
        return true;
    Prompter::current().messageWithList(c.summary, c.lines, Prompter::Icon::Critical, QStringLiteral("Check"));
    return Prompter::current().askYesNoDefaultNo(
        QStringLiteral("The file has %1. Hand it on anyway?").arg(count(c.report.errors(), "error")),
        Prompter::Icon::Warning);
}

void frmVslRep::generate()
{
    const QString path = writeFile();
    if (path.isEmpty() || !handOnDespiteErrors(path))
        return;
    const QString question = QLatin1String(igm::Messages::FilePrefix) + QDir::toNativeSeparators(path)
                             + QLatin1String(igm::Messages::SavedCopyToFloppy);
    if (Prompter::current().askYesNo(question, Prompter::Icon::Question))
        copyToMedia({path});
}

void frmVslRep::email()
{
    const QString path = writeFile();
    if (!path.isEmpty() && handOnDespiteErrors(path))
        mailFiles({path});
}

QUARL_REGISTER_SCREEN(frmVslRep)

} // namespace quarl
