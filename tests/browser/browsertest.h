#pragma once

#include "store/database.h"
#include "store/session.h"

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QVariantList>
#include <QWidget>

namespace quarl::test {

// Sets the session for a screen test and puts the previous one back afterwards.
class SessionScope
{
public:
    SessionScope(const Database &db, const QString &userRights = QStringLiteral(" SU"),
                 const QString &menuRights = QStringLiteral(" SU"), const QString &userId = QStringLiteral("QUARL"));
    ~SessionScope();

private:
    Session m_saved;
};

// Shows a screen offscreen and makes it the active window, so that focus moves as on a desktop.
bool showActive(QWidget *screen);

QLineEdit *field(QWidget *screen, int index);
QPushButton *button(QWidget *screen, const char *name);
QString statusLine(QWidget *screen);

bool insertVessel(const Database &db, const QString &code, const QString &name = QString(),
                  const QString &nation = QStringLiteral("IN"), const QVariant &grt = 1000.0,
                  const QVariant &nrt = 500.0);
QStringList vesselCodes(const Database &db); // in code order

} // namespace quarl::test
