#pragma once

#include "app/failure.h"

class QFileDevice;

namespace quarl::igm {

// The failure of a file operation: errno and the system's text when there is one.
Failure fileFailure(const QFileDevice &file, int savedErrno);

} // namespace quarl::igm
