#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QString>

// The company's details as a filer of the arrival manifest, kept in its one row of
// compinfo: who files (submitter type and code), whose certificate signs, and the counter
// of the filer's job numbers, each of which names one message sent to the gateway.
namespace quarl::Filer {

struct Details
{
    QString submitterType; // ASA for an agent
    QString submitterCode;
    QString signerPan;
    qint64 nextJobNumber = 1;
};

inline constexpr qint64 LastJobNumber = 9999999; // the message takes at most seven digits

// The submitter types of the gateway's list: an agent (ASA), a sea carrier (ASC), a
// terminal operator (ATO), a port (ATP), an express carrier (AES).
const QStringList &submitterTypes();
// Why a value cannot be kept, in words for the clerk (empty when it can): the type one of
// the list, the code 1 to 15 letters or digits, the signer's PAN AAAAA9999A, the job
// number 1 to 9999999. Each names its field: "Signer's PAN: ...". With `shown`, only the
// fields that differ from it are checked (what the clerk changed).
QString problem(const Details &details, const Details *shown = nullptr);

Result<Details> read(const Database &db);
// Stores what the clerk changed from `shown` to `typed`, the next job number included, in
// one transaction that holds the counter. A field another workstation changed since `shown`
// was read is not overwritten: the failure (ErrorNumber::RowChanged) names it and nothing is
// stored. Nothing changed, nothing written.
Status update(const Database &db, const Details &shown, const Details &typed);
// Stores the details; the counter is left as it is.
Status write(const Database &db, const Details &details);

// Takes the next job number and counts on (after 9999999 comes 1 again). Inside an open
// transaction the number belongs to it: the row stays locked until that transaction ends,
// so two workstations never get the same number, and a rollback gives the number back.
// Outside one, it runs in its own.
Result<qint64> takeJobNumber(const Database &db);
// Waits until no other transaction holds the counter, then holds it until the open one
// ends. Called first in a transaction of one moment (repeatable read on PostgreSQL), the
// moment it reads comes after the last job number taken was stored, so that taking the
// next one never meets another workstation's. SQLite's writer holds the whole file already.
Status holdCounter(const Database &db);

} // namespace quarl::Filer
