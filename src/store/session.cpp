#include "store/session.h"

namespace quarl {

Session &Session::current()
{
    static Session session;
    return session;
}

quint64 Session::nextSerial()
{
    static quint64 last = 0;
    return ++last;
}

void Session::end()
{
    Session &s = current();
    const QString systemDatabasePath = s.systemDatabasePath;
    s = Session();
    s.systemDatabasePath = systemDatabasePath;
    s.serial = nextSerial();
}

} // namespace quarl
