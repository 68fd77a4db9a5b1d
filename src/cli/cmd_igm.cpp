#include "cli/command.h"
#include "cli/options.h"
#include "core/rights.h"

#include "core/settings.h"
#include "filing/igmcheck.h"
#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "filing/layouts.h"
#include "filing/mediacopy.h"
#include "interchange/xmlinterchange.h"
#include "manifest/layout.h"
#include "manifest/syntheticvoyage.h"
#include "manifest/voyageremoval.h"
#include "reports/mailhandoff.h"

#include <QDir>

#include <optional>

namespace quarl::cli {

namespace {

const QCommandLineOption CopyToOption(QStringLiteral("copy-to"),
                                      QStringLiteral("Copy the file(s) into DIR as well (a removable disk)."),
                                      QStringLiteral("DIR"));
const QCommandLineOption MailOption(QStringLiteral("mail"),
                                    QStringLiteral("Mail the file(s) to TO (addresses split by ; or ,)."),
                                    QStringLiteral("TO"));
const QCommandLineOption CcOption(QStringLiteral("cc"), QStringLiteral("Copy recipients (default: setting Email/CC)."),
                                  QStringLiteral("CC"));
const QCommandLineOption SubjectOption(QStringLiteral("subject"), QStringLiteral("Subject (default: setting Email/Sub)."),
                                       QStringLiteral("S"));
const QCommandLineOption BodyOption(QStringLiteral("body"), QStringLiteral("Message text (default: setting Email/Msg)."),
                                    QStringLiteral("B"));

void addDeliveryOptions(QCommandLineParser &parser)
{
    parser.addOptions({CopyToOption, MailOption, CcOption, SubjectOption, BodyOption});
}

// The copy and the mail of written files, as the sending screens do them; 0 when every
// delivery asked for was done.
int deliver(const QCommandLineParser &parser, const QStringList &files)
{
    if (parser.isSet(CopyToOption)) {
        const QString folder = parser.value(CopyToOption);
        if (!igm::isUsableFolder(folder)) {
            error(QStringLiteral("%1  The folder %2 is not there or cannot be written to.")
                      .arg(ErrorNumber::PathFileAccess)
                      .arg(folder));
            return 1;
        }
        for (const QString &f : files) {
            const Result<QString> copied = igm::copyToFolder(f, folder);
            if (!copied) {
                error(copied.failure().numberAndText());
                return 1;
            }
            out(copied.value());
        }
    }
    if (parser.isSet(MailOption)) {
        reports::MailMessage m;
        m.to = reports::splitAddresses(parser.value(MailOption));
        m.cc = reports::splitAddresses(parser.isSet(CcOption) ? parser.value(CcOption) : Settings::mailCc());
        m.subject = parser.isSet(SubjectOption) ? parser.value(SubjectOption) : Settings::mailSubject();
        m.body = parser.isSet(BodyOption) ? parser.value(BodyOption) : Settings::mailMessage();
        m.attachments = files;
        if (Status s = reports::sendMail(m); !s) {
            error(s.failure().numberAndText());
            return 1;
        }
        info(QStringLiteral("Mailed to %1.").arg((m.to + m.cc).join(QStringLiteral(", "))));
    }
    return 0;
}

// The layout given with --layout, else the one of the settings; nullptr (said) when unknown.
const igm::Layout *chosenLayout(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (!parser.isSet(option)) {
        auto l = igm::settingsLayout();
        if (!l) {
            error(l.failure().description);
            return nullptr;
        }
        return l.value();
    }
    const igm::Layout *l = igm::layoutNamed(parser.value(option));
    if (!l)
        error(QStringLiteral("Unknown layout \"%1\": give one of %2.").arg(parser.value(option), igm::layoutNames()));
    return l;
}

QCommandLineOption layoutOption()
{
    return QCommandLineOption(QStringLiteral("layout"),
                              QStringLiteral("%1 instead of the setting Options/IgmLayout.").arg(igm::layoutNames()),
                              QStringLiteral("L"));
}

int writeIgm(const QStringList &args)
{
    QCommandLineParser parser;
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    addVoyageOptions(parser);
    parser.addOptions({OutOption});
    const QCommandLineOption layoutChoice = layoutOption();
    parser.addOptions({IceGateUserOption, CustomHouseOption, layoutChoice});
    addDeliveryOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    QString vessel, voyage;
    if (!voyageKey(parser, &vessel, &voyage))
        return 1;
    const igm::Layout *layout = chosenLayout(parser, layoutChoice);
    if (!layout)
        return 1;
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("Generate Flat-File"), {Rights::MenuCode::FlatFile}}))
        return 1;
    auto options = igm::settingsWriteOptions(*layout);
    if (!options) {
        error(options.failure().description);
        return 1;
    }
    if (parser.isSet(IceGateUserOption))
        options->iceGateUser = parser.value(IceGateUserOption);
    if (parser.isSet(CustomHouseOption))
        options->customHouseCode = parser.value(CustomHouseOption);
    const igm::IgmWriteResult r =
        igm::generateIgmFileInLayout(*db, *layout, outFolder(parser), vessel, voyage, options.value());
    const int exit = report(r.outcome);
    if (exit != 0)
        return exit;
    out(r.path);
    return deliver(parser, {r.path});
}

int importIgm(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The IGM file to import."));
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    const QCommandLineOption withVessel(QStringLiteral("with-vessel"),
                                        QStringLiteral("Also add the vessel record to the voyage headers."));
    const QCommandLineOption strip(QStringLiteral("strip"),
                                   QStringLiteral("Remove commas and quotes from the file before reading it."));
    parser.addOptions({withVessel, strip, YesOption});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (!oneFile(parser, "import-igm"))
        return 1;
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("Import IGM File"), {}}))
        return 1;
    igm::IgmImportOptions options;
    options.withVessel = parser.isSet(withVessel);
    options.strip = parser.isSet(strip);
    const igm::IgmImportResult r = igm::importIgmFile(*db, parser.positionalArguments().first(), options,
                                                      answer(parser.isSet(YesOption)));
    const int exit = report(r.outcome);
    if (exit == 0)
        info(QStringLiteral("%1 vessel record(s), %2 line(s), %3 container(s) added.")
                 .arg(r.vessels)
                 .arg(r.lines)
                 .arg(r.containers));
    return exit;
}

int checkIgm(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The IGM file to check."));
    addDatabaseOptions(parser);
    addVoyageOptions(parser);
    const QCommandLineOption layoutChoice = layoutOption();
    parser.addOption(layoutChoice);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const bool voyageCheck = parser.isSet(QStringLiteral("vessel")) || parser.isSet(QStringLiteral("voyage"));
    if (parser.positionalArguments().size() != (voyageCheck ? 0 : 1)) {
        error(QStringLiteral("check-igm needs one FILE, or --db/--dsn with --vessel and --voyage."));
        return 1;
    }
    // the codes of the company's masters when a database is named
    std::optional<Database> db;
    std::optional<igm::CodeLists> codes;
    if (parser.isSet(QStringLiteral("db")) || parser.isSet(QStringLiteral("dsn"))) {
        db = openDatabaseOrSay(parser);
        if (!db)
            return 1;
        auto lists = igm::loadCodeLists(*db);
        if (!lists) {
            error(lists.failure().numberAndText());
            return 1;
        }
        codes = lists.value();
    }
    igm::CheckReport r;
    QString what;
    if (voyageCheck) {
        QString vessel, voyage;
        if (!voyageKey(parser, &vessel, &voyage))
            return 1;
        if (!db) {
            error(QStringLiteral("check-igm --vessel/--voyage needs --db or --dsn."));
            return 1;
        }
        const igm::Layout *layout = chosenLayout(parser, layoutChoice);
        if (!layout)
            return 1;
        Failure failure;
        r = igm::checkVoyage(*db, vessel, voyage, *layout, codes ? &*codes : nullptr, &failure);
        if (!failure.code.isEmpty()) {
            error(failure.numberAndText());
            return 1;
        }
        what = QStringLiteral("%1 / %2").arg(vessel, voyage);
    } else {
        what = parser.positionalArguments().first();
        r = igm::checkIgmFile(what, codes ? &*codes : nullptr);
    }
    for (const igm::Finding &f : r.findings)
        out(igm::flatFileFindingText(f));
    if (r.unlisted() > 0)
        out(QStringLiteral("... and %1 more finding(s) not listed.").arg(r.unlisted()));
    info(QStringLiteral("%1: %2 layout, %3 line(s), %4 container(s); %5 error(s), %6 warning(s)%7.")
             .arg(what, r.layout ? r.layout->name() : QStringLiteral("unknown"))
             .arg(r.cargoLines)
             .arg(r.containers)
             .arg(r.errorCount)
             .arg(r.warningCount)
             .arg(codes ? QString() : QStringLiteral(" (codes not compared: give --db)")));
    return r.errorCount > 0 ? 1 : 0;
}

int exportXml(const QStringList &args)
{
    QCommandLineParser parser;
    addDatabaseOptions(parser);
    addVoyageOptions(parser);
    parser.addOptions({OutOption});
    addDeliveryOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    QString vessel, voyage;
    auto db = voyageDatabase(parser, &vessel, &voyage);
    if (!db)
        return 1;
    const igm::XmlExportResult r = igm::generateXmlFiles(*db, outFolder(parser), vessel, voyage);
    const int exit = report(r.outcome);
    if (exit != 0)
        return exit;
    out(r.cargoPath);
    out(r.containerPath);
    QStringList files = {r.cargoPath, r.containerPath};
    if (!r.itemsPath.isEmpty()) {
        out(r.itemsPath);
        files << r.itemsPath;
    }
    return deliver(parser, files);
}

int importXml(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("CARGO"), QStringLiteral("The exported cargo file (cargo.xml)."));
    parser.addPositionalArgument(QStringLiteral("CONTAIN"), QStringLiteral("The exported container file (contain.xml)."));
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    addVoyageOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (parser.positionalArguments().size() != 2) {
        error(QStringLiteral("import-xml needs CARGO and CONTAIN."));
        return 1;
    }
    QString vessel, voyage;
    auto db = voyageDatabase(parser, &vessel, &voyage);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("Import XML Files"), {Rights::MenuCode::ImportXml}}))
        return 1;
    const igm::XmlImportResult r = igm::importXmlFiles(*db, parser.positionalArguments().at(0),
                                                       parser.positionalArguments().at(1), vessel, voyage);
    const int exit = report(r.outcome);
    if (exit == 0)
        info(QStringLiteral("%1 line(s), %2 container(s), %3 goods item(s) added.").arg(r.lines).arg(r.containers).arg(r.items));
    return exit;
}

int removeVoyage(const QStringList &args)
{
    QCommandLineParser parser;
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    const QCommandLineOption withVessel(QStringLiteral("with-vessel"),
                                        QStringLiteral("Delete the voyage header (voyage information) also."));
    addVoyageOptions(parser);
    parser.addOptions({withVessel, YesOption});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    QString vessel, voyage;
    auto db = voyageDatabase(parser, &vessel, &voyage);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("Remove Data"), {Rights::MenuCode::RemoveData}}))
        return 1;
    const igm::RemovalResult r = igm::removeVoyage(*db, vessel, voyage, parser.isSet(withVessel),
                                                   answer(parser.isSet(YesOption)));
    const int exit = report(r.outcome);
    if (exit == 0)
        info(QStringLiteral("%1 line(s), %2 container(s), %3 voyage header(s) deleted.")
                 .arg(r.lines)
                 .arg(r.containers)
                 .arg(r.headers));
    return exit;
}

int demoVoyage(const QStringList &args)
{
    QCommandLineParser parser;
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    const QCommandLineOption lines(QStringLiteral("lines"), QStringLiteral("Number of bills of lading."), QStringLiteral("L"));
    const QCommandLineOption containers(QStringLiteral("containers"), QStringLiteral("Number of containers."),
                                        QStringLiteral("C"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the made-up values (default 1)."),
                                  QStringLiteral("S"));
    addVoyageOptions(parser);
    parser.addOptions({lines, containers, seed});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    igm::SyntheticVoyage v;
    if (!voyageKey(parser, &v.vessel, &v.voyage))
        return 1;
    bool ok = true;
    auto number = [&](const QCommandLineOption &o, int fallback) {
        if (!parser.isSet(o))
            return fallback;
        bool good = false;
        const int n = parser.value(o).toInt(&good);
        ok = ok && good && n >= 0;
        return n;
    };
    v.lines = number(lines, 10);
    v.containers = number(containers, 20);
    v.seed = quint32(number(seed, 1));
    if (!ok) {
        error(QStringLiteral("--lines, --containers and --seed take whole numbers."));
        return 1;
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("Vessel Information and Cargo Information"), {Rights::MenuCode::VesselInformation, Rights::MenuCode::CargoInformation}}))
        return 1;
    if (Status s = igm::addSyntheticVoyage(*db, v); !s) {
        error(s.failure().numberAndText());
        return 1;
    }
    return 0;
}

const Registration writeIgmCommand(QStringLiteral("write-igm"),
                                   QStringLiteral("write-igm --db FILE --vessel V --voyage N [--out DIR] [--layout L] [--copy-to DIR] [--mail TO [--cc CC] [--subject S] [--body B]]   write the IGM flat file"),
                                   writeIgm);
const Registration importIgmCommand(QStringLiteral("import-igm"),
                                    QStringLiteral("import-igm FILE --db FILE [--with-vessel] [--strip] --yes   import an IGM file"),
                                    importIgm);
const Registration checkIgmCommand(QStringLiteral("check-igm"),
                                   QStringLiteral("check-igm FILE [--db FILE] | --db FILE --vessel V --voyage N [--layout L]   check an IGM file or a voyage before filing (exit 1 on errors)"),
                                   checkIgm);
const Registration exportXmlCommand(QStringLiteral("export-xml"),
                                    QStringLiteral("export-xml --db FILE --vessel V --voyage N [--out DIR] [--copy-to DIR] [--mail TO ...]  write cargo.xml, contain.xml and cargoitem.xml"),
                                    exportXml);
const Registration importXmlCommand(QStringLiteral("import-xml"),
                                    QStringLiteral("import-xml CARGO CONTAIN --db FILE --vessel V --voyage N  import exported XML files"),
                                    importXml);
const Registration removeVoyageCommand(QStringLiteral("remove-voyage"),
                                       QStringLiteral("remove-voyage --db FILE --vessel V --voyage N [--with-vessel] --yes  delete a voyage's data"),
                                       removeVoyage);
const Registration demoVoyageCommand(QStringLiteral("demo-voyage"),
                                     QStringLiteral("demo-voyage --db FILE --vessel V --voyage N --lines L --containers C  add a made-up voyage"),
                                     demoVoyage);

} // namespace
} // namespace quarl::cli
