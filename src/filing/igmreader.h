#pragma once

#include "manifest/outcome.h"

#include <QString>

#include <functional>
#include <optional>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct IgmImportOptions
{
    bool withVessel = false; // "WIth Vessel Information": also add the vessel record to vesinfo
    bool strip = false;      // "With Striping": remove commas and quotes before reading
    Progress progress;       // bytes read out of the file size
    // Asked now and then while the rows are stored; true ends the import with nothing
    // stored (the outcome's failure is ErrorNumber::Cancelled).
    std::function<bool()> cancelled;
};

struct IgmImportResult
{
    Outcome outcome;
    QString vessel; // as read from the vessel record
    QString voyage;
    int vessels = 0;
    qint64 lines = 0;
    qint64 containers = 0;
};

// Adds the lines and containers of a manifest file (and, on request, its vessel record)
// to the database, after confirm has answered the question "Import Data For V / N ?".
// The layout is told by the file's first line; a file without a header is read in the
// older layout. Everything is stored in one transaction: on any error nothing is stored
// and the message tells the error, "---" and the section and column being read. With
// strip, the commas and quotes are removed in a private working copy, deleted afterwards.
IgmImportResult importIgmFile(const Database &db, const QString &path, const IgmImportOptions &options,
                              const Confirm &confirm);

// The first B/L number of the file's lines that a stored line of vessel / voyage holds
// already, as the failure that names that line; none when no number is taken (or the
// file or the look-up cannot be read, which leaves the import's own message standing).
std::optional<Failure> blNumberTakenInFile(const Database &db, const QString &path, const QString &vessel,
                                           const QString &voyage);

} // namespace quarl::igm
