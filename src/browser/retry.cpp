#include "browser/retry.h"

namespace quarl {

Status writeWithRetry(const std::function<Status()> &write, const std::function<bool(const Failure &)> &isTransient,
                      const std::function<bool()> &askRetry, int silentAttempts)
{
    for (int attempt = 1;; ++attempt) {
        Status s = write();
        if (s || !isTransient(s.failure()))
            return s;
        if (attempt >= silentAttempts && !askRetry())
            return s;
    }
}

} // namespace quarl
