#pragma once

#include "app/failure.h"

#include <QString>

namespace quarl::reports {

// A report file handed to the mail system with the addressing of the report screen.
struct ReportMail
{
    QString to, cc, subject, message;
    QString attachment; // full path
};

Status sendReportMail(const ReportMail &mail);

} // namespace quarl::reports
