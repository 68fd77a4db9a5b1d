#pragma once

#include <csignal>
#include <sys/resource.h>

namespace quarl::test {

// Files of this process grow to at most the given size while it lives, as on a full
// disk: writes beyond it fail with EFBIG ("File too large") instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : m_set(getrlimit(RLIMIT_FSIZE, &m_saved) == 0 && apply(bytes)) {}
    ~FileSizeLimit()
    {
        if (m_set)
            setrlimit(RLIMIT_FSIZE, &m_saved);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    // False when the limit could not be set: the test then fails, it does not pass unseen.
    bool isSet() const { return m_set; }

    // Also for a child process (QProcess::setChildProcessModifier).
    static bool apply(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }

private:
    rlimit m_saved{};
    bool m_set = false;
};

} // namespace quarl::test
