#include "app/session.h"

namespace quarl {

Session &Session::current()
{
    static Session session;
    return session;
}

} // namespace quarl
