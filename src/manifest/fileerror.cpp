#include "manifest/fileerror.h"

#include "manifest/outcome.h"

#include <QDir>
#include <QFileDevice>

#include <cstring>

namespace quarl::igm {

Failure fileFailure(const QFileDevice &file, int savedErrno)
{
    // The system's own text for the error number: Qt's text of a failed write or commit is
    // often "Unknown error", whatever the cause. That text alone ("Permission denied") does
    // not say which file, so its name follows.
    QString text = savedErrno != 0 ? QString::fromLocal8Bit(std::strerror(savedErrno)) : file.errorString();
    if (!file.fileName().isEmpty() && !text.contains(file.fileName()))
        text += QStringLiteral(" (%1)").arg(QDir::toNativeSeparators(file.fileName()));
    return Failure(savedErrno != 0 ? savedErrno : int(ErrorNumber::PathFileAccess), text);
}

} // namespace quarl::igm
