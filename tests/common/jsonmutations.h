#pragma once

#include "json/jsonschema.h"

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quarl::test {

// Damaged copies of a good JSON text, drawn one after another from a seed, each made by one
// to three mutations: of its structure (a key removed, given twice, renamed or moved; an
// element of a list removed, repeated or swapped; a value of the wrong type, a number out of
// range, a date of another form, a deep nesting, a huge text) and of its bytes (a cut, bytes
// changed, removed, repeated or inserted, tokens put where they break the text).
class JsonMutations
{
public:
    JsonMutations(const QByteArray &good, quint32 seed);

    QByteArray next();
    // What made the last text, for messages.
    const QStringList &made() const { return m_made; }

private:
    void structure(igm::Json &doc, QList<std::pair<QByteArray, QByteArray>> *afterDump);
    void bytes(QByteArray &text);
    igm::Json oddValue(const igm::Json &current, QList<std::pair<QByteArray, QByteArray>> *afterDump);
    int pick(int n) { return int(m_rng.bounded(n)); }

    igm::Json m_good;
    QByteArray m_goodText;
    QRandomGenerator m_rng;
    QStringList m_made;
    int m_marks = 0;
};

// Ends the test program when one piece of work runs past a generous bound: a detector of
// hangs in loops of many small runs, not a measure of speed.
class HangGuard
{
public:
    explicit HangGuard(std::chrono::seconds bound);
    ~HangGuard();
    HangGuard(const HangGuard &) = delete;
    HangGuard &operator=(const HangGuard &) = delete;

    // Runs work, named by what should it hang; false when it took longer than the bound.
    template<typename F>
    bool run(const QString &what, F &&work)
    {
        const auto start = begin(what);
        work();
        return end(start);
    }

private:
    std::chrono::steady_clock::time_point begin(const QString &what);
    bool end(std::chrono::steady_clock::time_point start);

    const std::chrono::seconds m_bound;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QByteArray m_what;
    bool m_busy = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_watch;
};

} // namespace quarl::test
