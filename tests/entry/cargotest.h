#pragma once

#include "entry/billoflading.h"
#include "store/database.h"
#include "store/session.h"

class QWidget;

namespace quarl::cargotest {

// Sets the session for a screen test and puts the previous one back afterwards.
class CargoSession
{
public:
    explicit CargoSession(const Database &db);
    ~CargoSession();

private:
    Session m_saved;
};

// Shows a screen offscreen as the active window, so that the focus moves as on a desktop.
bool showActive(QWidget *screen);

int countRows(const Database &db, const QString &table);
// A bill of lading of vessel "VSL1" voyage "V1" that passes every rule.
BillOfLading sampleBill(const QString &blno);
// A container that passes every save rule; n makes the number unique.
Container sampleContainer(int n);

} // namespace quarl::cargotest
