#include "cli/command.h"
#include "cli/options.h"

#include "igm/igmcheck.h"
#include "igm/samcheck.h"
#include "igm/samreply.h"

#include <QFileInfo>

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
    if (parser.positionalArguments().size() != 1) {
        error(QStringLiteral("check-sam needs one FILE."));
        return 1;
    }
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
    const igm::SamCheckReport r = igm::CheckSamFile(path, options);
    for (const igm::SamFinding &f : r.findings)
        out(f.toString());
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
                                       QStringLiteral("The SAM file it answers (default: the _DEC.json of the same name beside it)."),
                                       QStringLiteral("FILE"));
    parser.addOption(decOption);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (parser.positionalArguments().size() != 1) {
        error(QStringLiteral("read-reply needs one FILE."));
        return 1;
    }
    QString used;
    Result<igm::GatewayReply> r =
        igm::ReadGatewayReply(parser.positionalArguments().first(), parser.value(decOption), &used);
    if (!r) {
        error(r.failure().numberAndText());
        return 1;
    }
    for (const igm::ReplyError &e : r->errors)
        out(e.toString());
    for (const igm::ReplyIdentifier &id : r->identifiers)
        out(QStringLiteral("Line %1%2%3: %4 %5")
                .arg(id.lineNo)
                .arg(id.subLineNo > 0 ? QStringLiteral(" sub-line %1").arg(id.subLineNo) : QString())
                .arg(id.blNo.isEmpty() ? QString() : QStringLiteral(" B/L ") + id.blNo)
                .arg(id.type, id.number));
    info(r->summary() + (used.isEmpty() ? QStringLiteral(" (no declaration beside it: B/L numbers not named)")
                                        : QStringLiteral(" (B/L numbers from %1)").arg(QFileInfo(used).fileName())));
    return 0;
}

const Registration ReadReplyCommand(QStringLiteral("read-reply"),
                                    QStringLiteral("List the errors of the gateway's reply (_SFL or _ACK) to a SAM file"), readReply);

const Registration CheckSamCommand(QStringLiteral("check-sam"),
                                   QStringLiteral("Check a SAM file (SCMTR JSON) before it is signed and filed"), checkSam);

} // namespace

} // namespace quarl::cli
