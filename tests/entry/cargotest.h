#pragma once

#include "entry/billoflading.h"
#include "common/screenfixture.h"
#include "store/database.h"

namespace quarl::cargotest {

int countRows(const Database &db, const QString &table);
// A bill of lading of vessel "VSL1" voyage "V1" that passes every rule.
BillOfLading sampleBill(const QString &blno);
// A container that passes every save rule; n makes the number unique.
Container sampleContainer(int n);

} // namespace quarl::cargotest
