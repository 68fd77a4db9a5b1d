#pragma once

#include "igm/outcome.h"

#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct IgmWriteOptions
{
    // The gateway identifiers of the header line; the caller reads them from the settings
    // (Settings::iceGateUser(), Settings::customHouseCode()).
    QString iceGateUser;
    QString customHouseCode;
    Progress progress; // cargo lines written out of the voyage's lines
};

struct IgmWriteResult
{
    Outcome outcome;
    QString path; // the file written
    qint64 lines = 0;
    qint64 containers = 0;
};

// Writes the voyage's manifest in the SACHI01 layout to path and stores each line's
// position in the file into its lineno. Vessel code and voyage number are used as typed.
// The file appears under its name only when complete, together with the new line
// numbers; on any failure neither the file nor the line numbers change.
IgmWriteResult WriteIgmFile(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                            const IgmWriteOptions &options);

// The command "generate": the file named after the voyage in folder, an earlier file of
// that name deleted first (so a failed run leaves no stale manifest behind).
IgmWriteResult GenerateIgmFile(const Database &db, const QString &folder, const QString &vessel,
                               const QString &voyage, const IgmWriteOptions &options);

} // namespace quarl::igm
