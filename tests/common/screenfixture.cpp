#include "common/screenfixture.h"

namespace quarl::test {

SessionScope::SessionScope(const Database &db, const QString &userRights, const QString &menuRights,
                           const QString &userId)
    : m_saved(Session::current())
{
    Session &s = Session::current();
    s.connection = db;
    s.userRights = userRights;
    s.menuRights = menuRights;
    s.userId = userId;
}

SessionScope::~SessionScope()
{
    Session::current() = m_saved;
}

bool showActive(QWidget *screen)
{
    screen->show();
    QApplication::setActiveWindow(screen);
    screen->activateWindow();
    return QTest::qWaitForWindowActive(screen);
}

} // namespace quarl::test
