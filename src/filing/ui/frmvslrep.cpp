#include "filing/ui/frmvslrep.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "core/safefile.h"
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
                    .arg(QDir::toNativeSeparators(path), GenerateScreen::counted(c.report.errors(), "error"),
                         GenerateScreen::counted(c.report.warnings(), "warning"));
    if (!codes.isOk())
        c.summary += QStringLiteral("\nThe codes were not compared with the masters: %1").arg(codes.failure().numberAndText());
    return c;
}

} // namespace

frmVslRep::frmVslRep(QWidget *parent)
    : GenerateScreen("frmVslRep", QStringLiteral("Generate Flat-File"),
                     QStringLiteral("Write the file and list what would stop or trouble its filing"), parent)
{
}

QString frmVslRep::writeFile()
{
    if (Status s = FileRights::makeFolder(Installation::folder()); !s) {
        Prompter::current().message(s.failure().numberAndText(), Prompter::Icon::Critical);
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
    Prompter::current().messageWithList(c.summary, c.lines, iconFor(c.report.errors(), c.report.warnings()),
                                        QStringLiteral("Check"));
}

bool frmVslRep::mayHandOn(const QString &path)
{
    const CheckShown c = checkFile(database(), path);
    if (c.report.errors() == 0)
        return true;
    Prompter::current().messageWithList(c.summary, c.lines, Prompter::Icon::Critical, QStringLiteral("Check"));
    return Prompter::current().askYesNoDefaultNo(
        QStringLiteral("The file has %1. Hand it on anyway?").arg(counted(c.report.errors(), "error")),
        Prompter::Icon::Warning);
}

QUARL_REGISTER_SCREEN(frmVslRep)

} // namespace quarl
