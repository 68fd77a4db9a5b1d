#pragma once

// What the one-process benchmarks read off themselves: processor time, peak memory, and
// how they stop on a failure.

#include <QString>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace quarl::bench {

// Processor time of the process in milliseconds: on a machine shared with other work it
// says what the wall clock would on an idle one.
inline double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Peak resident memory of the process so far, in KB.
inline long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

[[noreturn]] inline void die(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

} // namespace quarl::bench
