#include "cli/command.h"
#include "cli/options.h"

#include "store/patches.h"

namespace quarl::cli {

namespace {

QString patchNames()
{
    QStringList names;
    for (const PatchInfo &p : Patches::all())
        names << p.name;
    return names.join(QStringLiteral(", "));
}

int patch(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Brings an older company database up to date, one command at a time."));
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("One of: %1.").arg(patchNames()));
    addDatabaseOptions(parser);
    addActingUserOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (parser.positionalArguments().size() != 1) {
        error(QStringLiteral("patch needs one NAME: %1.").arg(patchNames()));
        return 1;
    }
    const PatchInfo *info = Patches::find(parser.positionalArguments().first());
    if (!info) {
        error(QStringLiteral("Unknown patch \"%1\"; use one of: %2.").arg(parser.positionalArguments().first(), patchNames()));
        return 1;
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    if (!actingUserOrSay(parser, *db, Needs{QStringLiteral("A patch"), {}, true}))
        return 1;
    const PatchResult result = Patches::run(info->id, *db);
    if (!result.isOk()) {
        error(result.message);
        return 1;
    }
    // The menu entry shows nothing when the index is made; a script wants a line all the same.
    out(result.message.isEmpty() ? QStringLiteral("Unique index cargo on cargo(vslcode,voyno,blno) created.")
                                 : result.message);
    return 0;
}

const Registration reg(QStringLiteral("patch"),
                       QStringLiteral("patch NAME --db FILE|--dsn NAME  upgrade an older company database"), patch);

} // namespace
} // namespace quarl::cli
