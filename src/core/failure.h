#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace quarl {

// The program's own error numbers, for failures that carry no engine or system code.
namespace ErrorNumber {
// The data-source name is not registered. Same value as the ODBC driver manager's
// "data source not found", so that older messages and manuals keep their meaning.
inline constexpr qint64 DataSourceNotFound = -2147467259; // 0x80004005
inline constexpr qint64 FileNotFound = 53;
inline constexpr qint64 BadFileFormat = 321;
inline constexpr qint64 Overflow = 6;
inline constexpr qint64 InvalidArgument = 5;
inline constexpr qint64 Cancelled = 32755;
// The program's rules and the other desks; the description says what and why.
inline constexpr qint64 ContainerRule = 32001; // a container row broke a save rule
inline constexpr qint64 RowGone = 32002;       // the row edited or deleted is gone (deleted elsewhere)
inline constexpr qint64 RowChanged = 32003;    // another workstation changed the row after the edit began
inline constexpr qint64 BlNumberTaken = 32004; // the B/L number is already a line of the voyage
inline constexpr qint64 ItemRule = 32005;      // a goods item broke one of its rules
inline constexpr qint64 HouseRule = 32006;     // a house B/L and its master line would part
inline constexpr qint64 DatabaseError = 3146;
// The numbers the older installations gave the same file and data faults.
inline constexpr qint64 TypeMismatch = 13;
inline constexpr qint64 BadFileName = 52;
inline constexpr qint64 PastEndOfFile = 62;
inline constexpr qint64 PathFileAccess = 75;
inline constexpr qint64 InvalidUseOfNull = 94;
} // namespace ErrorNumber

// A failure: a number and a description, shown to the user in one of the forms below.
struct Failure
{
    QString code;        // engine code, errno or one of ErrorNumber, as text
    QString description;

    Failure() = default;
    Failure(qint64 number, QString text) : code(QString::number(number)), description(std::move(text)) {}
    Failure(QString c, QString text) : code(std::move(c)), description(std::move(text)) {}

    bool is(qint64 number) const { return code == QString::number(number); }
    // "number  description", the usual message form
    QString numberAndText() const { return code + QStringLiteral("  ") + description; }
    // "number description", used at logon and on screen loads
    QString numberSpaceText() const { return code + QLatin1Char(' ') + description; }
};

class [[nodiscard]] Status
{
public:
    Status() = default;
    Status(Failure f) : m_failure(std::move(f)) {}
    static Status ok() { return {}; }

    bool isOk() const { return !m_failure.has_value(); }
    explicit operator bool() const { return isOk(); }
    // An empty failure when ok, so that messages may be built eagerly.
    const Failure &failure() const
    {
        static const Failure none;
        return m_failure ? *m_failure : none;
    }

private:
    std::optional<Failure> m_failure;
};

template<typename T>
class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure f) : m_failure(std::move(f)) {}
    Result(const Status &s) : m_failure(s.failure()) {}

    bool isOk() const { return m_value.has_value(); }
    explicit operator bool() const { return isOk(); }
    T &value() { return *m_value; }
    const T &value() const { return *m_value; }
    T &operator*() { return *m_value; }
    T *operator->() { return &*m_value; }
    const Failure &failure() const { return m_failure; }
    Status status() const { return isOk() ? Status() : Status(m_failure); }

private:
    std::optional<T> m_value;
    Failure m_failure;
};

} // namespace quarl
