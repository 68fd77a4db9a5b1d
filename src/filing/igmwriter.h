#pragma once

#include "manifest/layout.h"
#include "manifest/outcome.h"

#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

// The gateway identifiers of the header line, and for the layouts that have them the
// test indicator and the control number; settingsWriteOptions() reads them from the
// settings.
using IgmWriteOptions = WriteOptions;

struct IgmWriteResult
{
    Outcome outcome;
    QString path; // the file written
    qint64 lines = 0;
    qint64 containers = 0;
};

// Writes the voyage's manifest in layout to path, and stores each line's position in the
// file into its lineno and the number of lines into the header's TotItems. Vessel code
// and voyage number are used as typed. The file appears under its name only when
// complete, together with the new numbers; on any failure neither changes.
IgmWriteResult writeIgmFileInLayout(const Database &db, const Layout &layout, const QString &path,
                                    const QString &vessel, const QString &voyage, const WriteOptions &options);
// The same in the older layout.
IgmWriteResult WriteIgmFile(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                            const WriteOptions &options);

// The command "generate": the file named after the voyage in folder, an earlier file of
// that name deleted first (so a failed run leaves no stale manifest behind).
IgmWriteResult generateIgmFileInLayout(const Database &db, const Layout &layout, const QString &folder,
                                       const QString &vessel, const QString &voyage, const WriteOptions &options);
// The same in the older layout.
IgmWriteResult generateIgmFile(const Database &db, const QString &folder, const QString &vessel,
                               const QString &voyage, const WriteOptions &options);

} // namespace quarl::igm
