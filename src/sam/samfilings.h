#pragma once

#include "core/failure.h"
#include "sam/samreply.h"
#include "store/filings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quarl {
class Database;
}

namespace quarl::igm {

// The sender, job number and date a reply's file name gives:
// F_SACHM23_SAM_<sender>_<job>_<date>_ACK.json (or _SFL, _DEC). False when it gives none.
bool replyNameParts(const QString &fileName, QString *sender, qint64 *job, QDate *date);

struct ReplyOfFiling
{
    GatewayReply reply;
    std::optional<Filings::Filing> filing; // the filing it answers, as the register had it
    QString declaration;                   // the file the B/L numbers came from; empty: none
    QStringList notes;                     // what could not be done, in words
    bool stored = false;                   // the outcome is stored on the filing
    qint64 linesNumbered = 0;              // lines that took the number customs gave them
};

struct ReplyReading
{
    QString declaration; // the declaration to name the B/Ls from, instead of the register's
    bool store = true;   // store the outcome on the filing (with a database)
};

// Reads the gateway's reply. With a database the filing it answers is found in the register
// (the sender and job number of the reply's header, else of its file name; the date tells
// apart two filings of one number), the B/Ls are named from the file as it was written,
// wherever the reply lies (its SHA-256 must still be the register's; else the copy beside the
// reply is tried), and the outcome is stored on the filing and the numbers customs gave on
// the lines. Without one, the B/Ls are named from the declaration beside the reply.
Result<ReplyOfFiling> readReplyOfFiling(const Database *db, const QString &path, const ReplyReading &how = {});

// The SHA-256 of a file, in hex; empty when it cannot be read.
QString fileSha256(const QString &path);

// One line of the list of a voyage's filings, for the screen and quarlctl.
QString filingText(const Filings::Filing &f);

} // namespace quarl::igm
