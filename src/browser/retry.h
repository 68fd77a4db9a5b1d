#pragma once

#include "core/failure.h"

#include <functional>

namespace quarl {

// Runs a write until it succeeds. A transient failure (isTransient) is retried silently
// until silentAttempts attempts have been made, after that once more each time askRetry()
// answers yes. Any other failure, or a no, ends it with the last failure.
Status writeWithRetry(const std::function<Status()> &write, const std::function<bool(const Failure &)> &isTransient,
                      const std::function<bool()> &askRetry, int silentAttempts);

} // namespace quarl
