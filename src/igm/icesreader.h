#pragma once

#include "igm/icesformat.h"
#include "igm/igmreader.h"

namespace quarl::igm {

// Imports a flat file of today's layout (ICES1_5) with the guarantees of ImportIgmFile:
// after confirm has answered "Import Data For V / N ?", everything is stored in one
// transaction or nothing, and a refusal names the line of the file. The vessel's IMO
// number goes to the vessel code master (a row is added for an unknown vessel code, an
// empty IMO number filled in; another IMO number already there is kept and reported).
// Lines after the trailer (the signature of a signed file) are not read.
IgmImportResult ImportIces15File(const Database &db, const QString &path, const IgmImportOptions &options,
                                 const Confirm &confirm);

// The layout named by the first line of the file; NoHeader also when it cannot be read
// (the import then reports that itself).
HeaderLayout peekHeaderLayout(const QString &path, QString *version = nullptr);

// The message for a header line that names neither layout.
QString unknownLayoutMessage(const QString &path, const QString &version);

} // namespace quarl::igm
