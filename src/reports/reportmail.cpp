#include "reports/reportmail.h"

namespace quarl::reports {

Status sendReportMail(const ReportMail &mail)
{
    return Failure(ErrorNumber::FileNotFound,
                   QStringLiteral(" Mail cannot be sent from this version of Quarl. The report was saved as %1; "
                                  "attach it to a message in your mail program.")
                       .arg(mail.attachment));
}

} // namespace quarl::reports
