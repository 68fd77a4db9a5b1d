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

Result<Details> read(const Database &db);
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
