#include "cli/command.h"
#include "cli/options.h"
#include "core/rights.h"

#include "core/settings.h"
#include "store/filer.h"
#include "filing/igmcheck.h"
#include "sam/samcheck.h"
#include "sam/samfile.h"
#include "sam/samfilings.h"
#include "sam/samreply.h"
#include "store/filings.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

namespace quarl::cli {

namespace {

int checkSam(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The SAM file (JSON) to check."));
    addDatabaseOptions(parser);
    const QCommandLineOption schemaOption(QStringLiteral("schema"),
                                          QStringLiteral("Check against this schema instead of the installation's."),
                                          QStringLiteral("FILE"));
    parser.addOption(schemaOption);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (!oneFile(parser, "check-sam"))
        return 1;
    const QString path = parser.positionalArguments().first();
    if (!QFileInfo(path).isFile()) {
        error(QStringLiteral("%1  There is no file %2.").arg(ErrorNumber::FileNotFound).arg(path));
        return 1;
    }
    igm::SamCheckOptions options;
    std::optional<igm::JsonSchema> schema;
    if (parser.isSet(schemaOption)) {
        Result<igm::JsonSchema> s = igm::JsonSchema::fromFile(parser.value(schemaOption));
        if (!s) {
            error(s.failure().numberAndText());
            return 1;
        }
        schema = s.value();
        options.schema = &*schema;
    }
    std::optional<igm::SamMasters> masters;
    if (parser.isSet(QStringLiteral("db")) || parser.isSet(QStringLiteral("dsn"))) {
        auto db = openDatabaseOrSay(parser);
        if (!db)
            return 1;
        Result<igm::SamMasters> m = igm::loadSamMasters(*db);
        if (!m) {
            error(m.failure().numberAndText());
            return 1;
        }
        masters = m.value();
        options.masters = &*masters;
    }
    const igm::SamCheckReport r = igm::checkSamFile(path, options);
    for (const igm::Finding &f : r.findings)
        out(igm::samFindingText(f));
    if (r.unlisted() > 0)
        out(QStringLiteral("... and %1 more finding(s) not listed.").arg(r.unlisted()));
    info(QStringLiteral("%1: %2 lines, %3 house B/Ls, %4 containers; %5 errors, %6 warnings.")
             .arg(QFileInfo(path).fileName())
             .arg(r.lines)
             .arg(r.houses)
             .arg(r.containers)
             .arg(r.errors())
             .arg(r.warnings()));
    return r.errors() > 0 ? 1 : 0;
}

int readReply(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The gateway's reply: an _SFL or _ACK JSON file."));
    const QCommandLineOption decOption(QStringLiteral("dec"),
                                       QStringLiteral("The SAM file it answers (default: the file the register of filings "
                                                      "names, else the _DEC.json of the same name beside it)."),
                                       QStringLiteral("FILE"));
    parser.addOption(decOption);
    addDatabaseOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (!oneFile(parser, "read-reply"))
        return 1;
    std::optional<Database> db;
    if (parser.isSet(QStringLiteral("db")) || parser.isSet(QStringLiteral("dsn"))) {
        db = openDatabaseOrSay(parser);
        if (!db)
            return 1;
    }
    igm::ReplyReading how;
    how.declaration = parser.value(decOption);
    Result<igm::ReplyOfFiling> read = igm::readReplyOfFiling(db ? &*db : nullptr, parser.positionalArguments().first(), how);
    if (!read) {
        error(read.failure().numberAndText());
        return 1;
    }
    const igm::GatewayReply &reply = read->reply;
    for (const igm::Finding &e : reply.errors)
        out(igm::replyFindingText(e));
    if (reply.unlisted > 0)
        out(QStringLiteral("... and %1 more error(s) not listed.").arg(reply.unlisted));
    for (const igm::ReplyIdentifier &id : reply.identifiers)
        out(QStringLiteral("Line %1%2%3: %4 %5")
                .arg(id.lineNo)
                .arg(id.subLineNo > 0 ? QStringLiteral(" sub-line %1").arg(id.subLineNo) : QString())
                .arg(id.blNo.isEmpty() ? QString() : QStringLiteral(" B/L ") + id.blNo)
                .arg(id.type, id.number));
    if (!reply.reference.isEmpty())
        out(QStringLiteral("Voyage reference %1%2").arg(reply.reference, reply.referenceDate.isEmpty() ? QString() : QStringLiteral(" of ") + reply.referenceDate));
    for (const QString &n : read->notes)
        info(n);
    const QString used = read->declaration;
    info(reply.summary() + (used.isEmpty() ? QStringLiteral(" (no declaration found: B/L numbers not named)")
                                           : QStringLiteral(" (B/L numbers from %1)").arg(QDir::toNativeSeparators(used))));
    if (read->stored)
        info(QStringLiteral("Stored on the filing of job number %1 (%2); %3 line(s) took their number.")
                 .arg(read->filing->jobNumber)
                 .arg(read->filing->fileName())
                 .arg(read->linesNumbered));
    // with a database the reply is read to be stored: a reply that was not is a failure
    return db && !read->stored ? 1 : 0;
}

int filings(const QStringList &args)
{
    QCommandLineParser parser;
    addDatabaseOptions(parser);
    addVoyageOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const QString vessel = parser.value(QStringLiteral("vessel"));
    const QString voyage = parser.value(QStringLiteral("voyage"));
    if (vessel.isEmpty() && !voyage.isEmpty()) {
        error(QStringLiteral("--voyage needs --vessel."));
        return 1;
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    const Result<bool> kept = Filings::kept(*db);
    if (!kept) {
        error(kept.failure().numberAndText());
        return 1;
    }
    if (!kept.value()) {
        error(QStringLiteral("This company database keeps no register of filings yet: run quarlctl patch 2.5.0 first."));
        return 1;
    }
    Result<QList<Filings::Filing>> list = Filings::list(*db, vessel, voyage);
    if (!list) {
        error(list.failure().numberAndText());
        return 1;
    }
    for (const Filings::Filing &f : list.value())
        out(QStringLiteral("%1 / %2  ").arg(f.vessel, f.voyage) + igm::filingText(f));
    info(QStringLiteral("%1 filing(s).").arg(list->size()));
    return 0;
}

int writeSam(const QStringList &args)
{
    QCommandLineParser parser;
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    addVoyageOptions(parser);
    const QCommandLineOption jobOption(QStringLiteral("job"),
                                       QStringLiteral("Job number instead of the next of the company's counter."),
                                       QStringLiteral("N"));
    const QCommandLineOption testOption(QStringLiteral("test"), QStringLiteral("A test file: indicator T."));
    const QCommandLineOption anywayOption(QStringLiteral("even-with-errors"),
                                          QStringLiteral("Keep the file although the check finds errors."));
    const QCommandLineOption freshOption(QStringLiteral("fresh-anyway"),
                                         QStringLiteral("Write a fresh SAM although the gateway accepted one of the voyage."));
    parser.addOptions({OutOption, jobOption, testOption, anywayOption, freshOption, IceGateUserOption, CustomHouseOption});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    QString vessel, voyage;
    if (!voyageKey(parser, &vessel, &voyage))
        return 1;
    igm::SamWriteOptions options;
    options.iceGateUser = parser.isSet(IceGateUserOption) ? parser.value(IceGateUserOption) : Settings::iceGateUser();
    options.customHouseCode =
        parser.isSet(CustomHouseOption) ? parser.value(CustomHouseOption) : Settings::customHouseCode();
    options.testOrProduction = parser.isSet(testOption) ? QStringLiteral("T") : Settings::igmTestIndicator();
    options.evenWithErrors = parser.isSet(anywayOption);
    options.freshAnyway = parser.isSet(freshOption);
    options.workstation = QSysInfo::machineHostName();
    if (parser.isSet(jobOption)) {
        bool ok = false;
        options.jobNumber = parser.value(jobOption).toLongLong(&ok);
        if (!ok || options.jobNumber < 1 || options.jobNumber > 9999999) {
            error(QStringLiteral("--job takes a number from 1 to 9999999."));
            return 1;
        }
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    const std::optional<QString> acting = actingUserOrSay(parser, *db, Needs{QStringLiteral("Generate SAM (SCMTR)"), {Rights::MenuCode::Sam}});
    if (!acting)
        return 1;
    options.user = QStringLiteral("%1 (quarlctl)").arg(*acting); // the register names who filed, and how
    const igm::SamWriteResult r = igm::writeSamFile(*db, outFolder(parser), vessel, voyage, options);
    // A thousand lines to a write: a long voyage may have a hundred thousand findings.
    QStringList said;
    auto say = [&](const QString &line) {
        said << line;
        if (said.size() == 1000) {
            info(said.join(QLatin1Char('\n')));
            said.clear();
        }
    };
    for (const igm::Finding &f : r.check.findings)
        say(igm::samFindingText(f));
    if (r.check.unlisted() > 0)
        say(QStringLiteral("... and %1 more finding(s) not listed.").arg(r.check.unlisted()));
    for (const QString &n : r.outcome.notices)
        say(n);
    if (!said.isEmpty())
        info(said.join(QLatin1Char('\n')));
    if (!r.outcome.isOk()) {
        error(r.outcome.message);
        return 1;
    }
    info(QStringLiteral("Job number %1: %2 lines, %3 containers; %4 errors, %5 warnings. The signature (digSign) is left "
                        "empty: the gateway's signing utility fills it.")
             .arg(r.jobNumber)
             .arg(r.lines)
             .arg(r.containers)
             .arg(r.check.errors())
             .arg(r.check.warnings()));
    out(r.path);
    return 0;
}

int importSam(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The SAM file (JSON) to import."));
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    const QCommandLineOption vesselOption(QStringLiteral("vessel"),
                                          QStringLiteral("Vessel code to keep the voyage under (default: the one of "
                                                         "the file's IMO number in the vessel code master)."),
                                          QStringLiteral("V"));
    parser.addOptions({vesselOption, YesOption});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (!oneFile(parser, "import-sam"))
        return 1;
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("Import SAM File"), {}}))
        return 1;
    igm::SamImportOptions options;
    options.vessel = parser.value(vesselOption);
    const igm::SamImportResult r =
        igm::importSamFile(*db, parser.positionalArguments().first(), options, answer(parser.isSet(YesOption)));
    const int exit = report(r.outcome);
    if (exit == 0)
        info(QStringLiteral("%1%2 line(s), %3 container(s), %4 goods item(s) added.")
                 .arg(r.header ? QStringLiteral("1 vessel record, ") : QString())
                 .arg(r.lines)
                 .arg(r.containers)
                 .arg(r.items));
    return exit;
}

int filer(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows the company's details as a filer of the SAM, or sets those given "
                                                    "(as a user with the right to System Parameter)."));
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    const QCommandLineOption type(QStringLiteral("submitter-type"), QStringLiteral("ASA, ASC, ATO, ATP or AES."), QStringLiteral("T"));
    const QCommandLineOption code(QStringLiteral("submitter-code"), QStringLiteral("The submitter's code (PAN)."), QStringLiteral("C"));
    const QCommandLineOption pan(QStringLiteral("signer-pan"), QStringLiteral("PAN of the signing person."), QStringLiteral("PAN"));
    const QCommandLineOption job(QStringLiteral("next-job"), QStringLiteral("The next job number (1 to 9999999)."), QStringLiteral("N"));
    parser.addOptions({type, code, pan, job});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    Result<Filer::Details> shown = Filer::read(*db);
    if (!shown) {
        error(shown.failure().numberAndText());
        return 1;
    }
    if (parser.isSet(type) || parser.isSet(code) || parser.isSet(pan) || parser.isSet(job)) {
        if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("System Parameter"), {Rights::MenuCode::SystemParameter}}))
            return 1;
        Filer::Details typed = shown.value();
        if (parser.isSet(type))
            typed.submitterType = parser.value(type).trimmed().toUpper();
        if (parser.isSet(code))
            typed.submitterCode = parser.value(code).trimmed().toUpper();
        if (parser.isSet(pan))
            typed.signerPan = parser.value(pan).trimmed().toUpper();
        if (parser.isSet(job)) {
            bool ok = false;
            typed.nextJobNumber = parser.value(job).trimmed().toLongLong(&ok);
            if (!ok)
                typed.nextJobNumber = 0;
        }
        if (const QString why = Filer::problem(typed, &shown.value()); !why.isEmpty()) {
            error(why + QStringLiteral("; nothing changed."));
            return 1;
        }
        if (Status s = Filer::update(*db, shown.value(), typed); !s) {
            error(s.failure().numberAndText());
            return 1;
        }
        shown = Filer::read(*db);
        if (!shown) {
            error(shown.failure().numberAndText());
            return 1;
        }
    }
    out(QStringLiteral("Submitter Type  %1\nSubmitter Code  %2\nSigner's PAN    %3\nNext Job No.    %4")
            .arg(shown->submitterType, shown->submitterCode, shown->signerPan)
            .arg(shown->nextJobNumber));
    return 0;
}

const Registration FilerCommand(QStringLiteral("filer"),
                                QStringLiteral("filer --db FILE|--dsn NAME [--submitter-type T] [--submitter-code C] [--signer-pan PAN] [--next-job N]  "
                                               "show or set the company's filing details"),
                                filer);

const Registration WriteSamCommand(QStringLiteral("write-sam"),
                                   QStringLiteral("write-sam --db FILE|--dsn NAME --vessel V --voyage N [--out DIR] [--job N] [--test] [--fresh-anyway]  write the SAM file (SCMTR JSON) and enter it in the register of filings"), writeSam);
const Registration FilingsCommand(QStringLiteral("filings"),
                                  QStringLiteral("filings --db FILE|--dsn NAME [--vessel V [--voyage N]]  list the register of SAM filings, newest first"), filings);
const Registration ImportSamCommand(QStringLiteral("import-sam"),
                                    QStringLiteral("import-sam FILE --db FILE|--dsn NAME [--vessel V] [--yes]  read a SAM file into a company database"), importSam);

const Registration ReadReplyCommand(QStringLiteral("read-reply"),
                                    QStringLiteral("read-reply FILE [--db FILE|--dsn NAME] [--dec FILE]  list the errors of the gateway's reply (_SFL or _ACK) to a SAM file; with a database, store it on its filing"), readReply);

const Registration CheckSamCommand(QStringLiteral("check-sam"),
                                   QStringLiteral("check-sam FILE [--db FILE|--dsn NAME] [--schema FILE]  check a SAM file before signing (exit 1 on errors)"), checkSam);

} // namespace

} // namespace quarl::cli
