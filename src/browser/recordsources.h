#pragma once

#include "browser/recordset.h"

#include <QString>

// The record sources of the record browser screens, kept out of the screens.
namespace quarl::RecordSources {

// D_VESSEL_CD in vessel-code order.
RecordSource vesselCodes();

// loguser in user-id order: every user for a user administrator (menu rights holding
// " SU"), otherwise only the logged-on user's own row.
RecordSource users(const QString &menuRights, const QString &userId);
bool administersUsers(const QString &menuRights);

// DRCOMP of the system database in its stored order.
RecordSource companyRegister();

} // namespace quarl::RecordSources
