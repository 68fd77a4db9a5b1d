#pragma once

#include "manifest/outcome.h"
#include "sam/samcheck.h"

#include <QDateTime>
#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct SamWriteOptions
{
    QString iceGateUser;
    QString customHouseCode;
    QString testOrProduction = QStringLiteral("P");
    QDateTime written = QDateTime::currentDateTime();
    qint64 jobNumber = 0;  // 0: the next of the company's counter
    bool evenWithErrors = false; // write the file although the check finds errors
    bool checkOnly = false;      // only check the voyage as it would be filed: no file, no job number taken
    // Who writes it, for the register of filings: the Quarl user (or who ran quarlctl) and
    // the workstation (default: the machine's host name).
    QString user;
    QString workstation;
    // Write a fresh declaration although the gateway accepted one of the voyage already.
    bool freshAnyway = false;
    Progress progress;
};

struct SamWriteResult
{
    Outcome outcome;
    QString path;          // the file written; empty when none was
    qint64 jobNumber = 0;  // the job number the file carries (none when it was not written)
    qint64 lines = 0;
    qint64 containers = 0;
    QString sha256;        // of the file written
    SamCheckReport check;  // of the voyage as it would be filed
};

// Writes the voyage's arrival manifest (SAM) as F_SACHM23_SAM_<user>_<job>_<date>_DEC.json
// into folder. One moment of the voyage is read; the job number is taken from the company's
// counter in the same transaction, so that two workstations never get the same one and a
// refusal gives it back. The file is made under a temporary name and checked: with errors
// it is not kept (unless evenWithErrors) and the check's findings say what to key in;
// else it takes its name and the line numbers it carries are stored. A declaration in the
// folder is never replaced: a job number given whose file is there is refused, and the
// counter passes over the numbers whose files of the day are there (a notice says so).
// Writers wait for the counter before they read the voyage; work that still meets another
// workstation's (PostgreSQL's serialization failure) is run again after a short pause.
// Each file is entered in the register of filings (store/filings.h) in the same transaction,
// with the SHA-256 of its bytes as written; a company database without the register is
// refused. A fresh declaration to production for a voyage the gateway accepted one of is
// refused (the gateway would answer error 358) unless freshAnyway.
SamWriteResult writeSamFile(const Database &db, const QString &folder, const QString &vessel, const QString &voyage,
                            const SamWriteOptions &options);

struct SamImportOptions
{
    QString vessel; // the vessel code to store the voyage under; empty: the one of the file's IMO number
    Progress progress;
    std::function<bool()> cancelled;
};

struct SamImportResult
{
    Outcome outcome;
    QString vessel;
    QString voyage;
    bool header = false; // the voyage header was stored too (the voyage was not there)
    qint64 lines = 0;  // house B/Ls included
    qint64 houses = 0;
    qint64 containers = 0;
    qint64 items = 0;
};

// Reads a SAM file into the database, after confirm has answered "Import Data For V / N ?":
// the voyage header when the voyage is not there yet, the lines with their house B/Ls,
// containers (weights back to tonnes) and goods items, under new keys, in one transaction;
// any refusal names the line and the key, and nothing is stored.
SamImportResult importSamFile(const Database &db, const QString &path, const SamImportOptions &options,
                              const Confirm &confirm);

// The vessel code of an IMO number in the vessel code master; empty when none has it.
Result<QString> vesselOfImo(const Database &db, const QString &imo);
// The IMO number and voyage a SAM file names, read without its lines.
Result<std::pair<QString, QString>> samVoyageOf(const QString &path);

} // namespace quarl::igm
