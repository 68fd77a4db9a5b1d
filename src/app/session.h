#pragma once

#include "store/database.h"

#include <QString>

namespace quarl {

// The state of the logged-on run: set by a successful logon, read by every screen.
struct Session
{
    Database connection;    // the company connection
    QString userId;         // uid, blanks trimmed at both ends
    QString userRights;     // urights as stored
    QString menuRights;     // mrights as stored
    QString companyName;
    QString dataSource;     // DRCOMP.dirname: "DSN=" + name
    QString systemDatabasePath;

    static Session &current();
};

} // namespace quarl
