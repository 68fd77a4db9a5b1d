#include "igm/fileerror.h"

#include "igm/outcome.h"

#include <QDir>
#include <QFileDevice>

#include <cstring>

namespace quarl::igm {

Failure fileFailure(const QFileDevice &file, int savedErrno)
{
    // The system's text alone ("Permission denied") does not say which file; the user needs
    // to know where to look.
    QString text = file.errorString();
    if (text.isEmpty() && savedErrno != 0)
        text = QString::fromLocal8Bit(std::strerror(savedErrno));
    if (!file.fileName().isEmpty() && !text.contains(file.fileName()))
        text += QStringLiteral(" (%1)").arg(QDir::toNativeSeparators(file.fileName()));
    return Failure(savedErrno != 0 ? savedErrno : int(ErrorNumber::PathFileAccess), text);
}

} // namespace quarl::igm
