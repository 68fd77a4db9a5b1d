#pragma once

#include "core/failure.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quarl::igm {

// Answers a Yes/No question of a command: true for Yes.
using Confirm = std::function<bool(const QString &question)>;
// Reports progress of long work: done out of total (total 0 when unknown).
using Progress = std::function<void(qint64 done, qint64 total)>;

// How a command ended, with the texts to show the user in order: the notices as they
// arose, then the message (a success text, a refusal or "number  text" of a failure).
struct Outcome
{
    enum class Kind {
        Done,     // finished; message may hold a success text
        Refused,  // a fixed message of the command; nothing was changed
        Declined, // the user answered No; nothing was changed
        Failed,   // an error; failure holds number and text; nothing was changed
    };

    Kind kind = Kind::Done;
    QString message;
    QStringList notices;
    Failure failure;

    bool isOk() const { return kind == Kind::Done; }

    static Outcome done(const QString &message = {})
    {
        Outcome o;
        o.message = message;
        return o;
    }
    static Outcome refused(const QString &message)
    {
        Outcome o;
        o.kind = Kind::Refused;
        o.message = message;
        return o;
    }
    static Outcome declined()
    {
        Outcome o;
        o.kind = Kind::Declined;
        return o;
    }
    // message defaults to "number  text"
    static Outcome failed(const Failure &failure, const QString &message = {})
    {
        Outcome o;
        o.kind = Kind::Failed;
        o.failure = failure;
        o.message = message.isEmpty() ? failure.numberAndText() : message;
        return o;
    }
};

// A command's result whose outcome member says a failure or a refusal, nothing else done:
// failedResult<IgmWriteResult>(failure).
template<typename R>
R failedResult(const Failure &f)
{
    R r;
    r.outcome = Outcome::failed(f);
    return r;
}

template<typename R>
R refusedResult(const QString &message)
{
    R r;
    r.outcome = Outcome::refused(message);
    return r;
}

} // namespace quarl::igm
