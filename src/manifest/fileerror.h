#pragma once

#include "core/failure.h"

class QFileDevice;

namespace quarl::igm {

// The failure of a file operation: errno and the system's text for it when there is one,
// otherwise Qt's description; the file's name is added.
Failure fileFailure(const QFileDevice &file, int savedErrno);

} // namespace quarl::igm
