#pragma once

#include "igm/outcome.h"

#include <QString>

#include <functional>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct IgmImportOptions
{
    bool withVessel = false; // "WIth Vessel Information": also add the vessel record to vesinfo
    bool strip = false;      // "With Striping": remove commas and quotes before reading
    QString workingFile;     // where the striped copy is written (test.igm in the program folder)
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

// Adds the lines and containers of an IGM flat file (and, on request, its vessel record)
// to the database, after confirm has answered the question "Import Data For V / N ?".
// Everything is stored in one transaction: on any error nothing is stored and the
// message tells the error, "---" and the section and column being read.
IgmImportResult ImportIgmFile(const Database &db, const QString &path, const IgmImportOptions &options,
                              const Confirm &confirm);

// Longest record line the reader takes; longer lines mean the file is not an IGM file.
inline constexpr qsizetype MaxIgmLineLength = 64 * 1024;

} // namespace quarl::igm
