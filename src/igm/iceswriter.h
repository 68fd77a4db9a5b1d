#pragma once

#include "igm/icesformat.h"
#include "igm/igmwriter.h"

#include <QDateTime>

namespace quarl::igm {

struct IcesWriteOptions
{
    // From the settings (Settings::iceGateUser(), customHouseCode(), igmTestIndicator(),
    // takeIgmControlNumber()); the caller reads them.
    QString iceGateUser;
    QString customHouseCode;
    QString testOrProduction = QStringLiteral("P");
    QString controlNumber;
    QDateTime written = QDateTime::currentDateTime();
    Progress progress;
};

// Writes the voyage's manifest in today's layout (ICES1_5) to path and stores each
// line's position into its lineno, with the guarantees of WriteIgmFile. The result's
// notices name the values the file needs and the voyage lacks (IMO number, port of
// arrival, terminal operator, expected arrival), which are written empty.
IgmWriteResult WriteIces15File(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                               const IcesWriteOptions &options);

// Generate Flat-File in the chosen layout: the file named after the voyage in folder,
// an earlier file of that name deleted first. The older layout takes only the gateway
// identifiers and progress of options.
IgmWriteResult GenerateIgmFileInLayout(const Database &db, IgmLayout layout, const QString &folder,
                                       const QString &vessel, const QString &voyage, const IcesWriteOptions &options);

} // namespace quarl::igm
