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
    // Tells one logon from the next: every logon and every end of a session takes a new
    // number, so a screen can tell whether the session it was opened in still holds.
    quint64 serial = 0;

    static Session &current();
    // A number no session has had yet.
    static quint64 nextSerial();
    // Logout: the user's rights and the company connection are gone until the next logon.
    static void end();
};

} // namespace quarl
