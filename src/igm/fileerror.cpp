#include "igm/fileerror.h"

#include "igm/outcome.h"

#include <QFileDevice>

#include <cstring>

namespace quarl::igm {

Failure fileFailure(const QFileDevice &file, int savedErrno)
{
    const QString text = file.errorString();
    if (savedErrno != 0)
        return Failure(savedErrno, text.isEmpty() ? QString::fromLocal8Bit(std::strerror(savedErrno)) : text);
    return Failure(ErrorCode::PathFileAccess, text);
}

} // namespace quarl::igm
