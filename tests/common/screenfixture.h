#pragma once

#include "store/database.h"
#include "store/session.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QWidget>

#include <memory>

namespace quarl::test {

// Sets the session for a screen test and puts the previous one back afterwards.
class SessionScope
{
public:
    explicit SessionScope(const Database &db, const QString &userRights = QStringLiteral(" SU"),
                          const QString &menuRights = QStringLiteral(" SU"), const QString &userId = QStringLiteral("QUARL"));
    ~SessionScope();

private:
    Session m_saved;
};

// Shows a screen offscreen and makes it the active window, so that focus moves as on a desktop.
bool showActive(QWidget *screen);

// What is wrong with a picture of a window: empty when it is not blank and shows every visible
// field, button and box of the window whole; else the first fault, naming the control.
QString pictureFault(QWidget *window, const QImage &picture);

// A screen of one workstation on its own connection to a shared database, for tests of
// two desks at one company.
template<typename Screen>
struct Desk
{
    std::unique_ptr<SessionScope> session;
    std::unique_ptr<Screen> screen;

    bool open(const Database &db)
    {
        session = std::make_unique<SessionScope>(db);
        screen = std::make_unique<Screen>();
        return showActive(screen.get());
    }
    QLineEdit *f(int index) const { return screen->template findChild<QLineEdit *>(QStringLiteral("txtFields(%1)").arg(index)); }
    // A key as the clerk presses it, on this workstation's screen.
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        showActive(screen.get());
        QTest::keyClick(QApplication::focusWidget(), k, m);
    }
    void retype(int index, const QString &text)
    {
        f(index)->setFocus();
        f(index)->selectAll();
        QTest::keyClicks(f(index), text);
    }
};

} // namespace quarl::test
