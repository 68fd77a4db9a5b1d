#pragma once

#include "core/failure.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace quarl {

class Database;

// The register of the arrival manifests (SAM) the company has written for filing: one row
// of samfiling for each file, stored in the transaction that takes its job number, so that
// no file lies in a folder without its row; later the gateway's reply to it.
namespace Filings {

inline constexpr char Table[] = "samfiling";
// The numbers customs gives the lines of an accepted filing (MCIN or PCIN) and their kind.
inline constexpr char NumberColumn[] = "mcin";
inline constexpr char NumberTypeColumn[] = "cintyp";
// The index that finds a voyage's filings.
inline constexpr char VoyageIndex[] = "samfiling_voyage";
// The index that finds the filing a reply answers.
inline constexpr char JobIndex[] = "samfiling_job";

// How the gateway answered, stored as its letter.
enum class State {
    Written,          // W: no reply read yet
    StructureFailure, // S: the _SFL reply
    Rejected,         // R: an _ACK with errors
    Accepted,         // A: an _ACK without errors
};
QChar stateLetter(State s);
State stateOfLetter(const QString &letter);

struct Filing
{
    qint64 id = 0;
    QString vessel;
    QString voyage;
    QString sender; // the ICEGATE ID the file was sent as
    qint64 jobNumber = 0;
    QDate jobDate;
    QString messageType; // F fresh, A amendment, D deletion
    QString indicator;   // T test, P production
    QString path;        // the file as written, with its folder
    QString sha256;      // of the file's bytes as written, 64 hex digits
    qint64 lines = 0;    // master lines
    qint64 houses = 0;
    qint64 containers = 0;
    QString user;        // the Quarl user, or who ran quarlctl
    QString workstation;
    QDateTime written;

    State state = State::Written;
    qint64 errors = 0;   // the reply's errors
    QString replyFile;   // its name
    QDateTime replyRead; // when it was read
    qint64 numbers = 0;  // MCIN and PCIN the reply gave
    QString reference;   // the voyage's reference the reply gave (manifest or rotation no.)
    QString referenceDate;

    QString fileName() const;
    // "written", "structure failure", "rejected with 3 errors", "accepted"
    QString stateText() const;
};

// Whether the company database keeps the register (release 2.5.0 and after).
Result<bool> kept(const Database &db);

// Adds the row of a file written, inside the caller's transaction.
Status record(const Database &db, const Filing &filing);

// The filings of a voyage (of every voyage when vessel is empty), newest first.
Result<QList<Filing>> list(const Database &db, const QString &vessel = {}, const QString &voyage = {});

// The filing a reply answers: the sender's job number; of several (the counter goes round,
// a job number given by hand), the one of that date, else the newest.
Result<std::optional<Filing>> answered(const Database &db, const QString &sender, qint64 jobNumber, const QDate &date);

// The voyage's latest fresh filing to production that the gateway accepted.
Result<std::optional<Filing>> acceptedOriginal(const Database &db, const QString &vessel, const QString &voyage);

// The refusal of another original after that: what the gateway would answer, and what to do.
QString alreadyFiled(const Filing &accepted);

struct ReplyOutcome
{
    State state = State::Written;
    qint64 errors = 0;
    QString replyFile;
    QDateTime read;
    QString reference;
    QString referenceDate;
    struct Number
    {
        qint64 lineNo = 0;
        qint64 subLineNo = 0; // 0: the master line
        QString type;         // MCIN, PCIN
        QString number;
    };
    QList<Number> numbers;
};

// Stores a reply on its filing and, when it gave numbers, on the voyage's lines (by line
// and sub-line number), in one transaction. The number of lines that took one.
Result<qint64> storeReply(const Database &db, const Filing &filing, const ReplyOutcome &reply);

} // namespace Filings
} // namespace quarl
