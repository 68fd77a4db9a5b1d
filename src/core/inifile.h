#pragma once

#include "core/failure.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quarl {

// An INI file kept line by line, so that writing one key leaves every other line
// (comments, blank lines, unknown keys, the line ends) exactly as it was.
// Section and key names match without regard to case; the first match wins.
class IniFile
{
public:
    // A missing or unreadable file reads as empty.
    static IniFile load(const QString &path);

    std::optional<QString> value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    bool removeSection(const QString &section);
    // Every line of the key in the section; false when there was none.
    bool removeKey(const QString &section, const QString &key);
    QStringList sections() const;
    QStringList keys(const QString &section) const;

    // Whether a key named Pwd or Password holds anything but blanks, in any section.
    bool holdsPassword() const;

    // Written whole or not at all: a temporary file, on the disk before it is renamed
    // into place. A new file, and one that holds a password, is readable and writable
    // by its owner only (mode 0600); another existing file keeps its rights.
    Status save(const QString &path) const;

private:
    struct Span { int header = -1; int first = 0; int end = 0; };
    std::optional<Span> findSection(const QString &section) const;
    int findKey(const Span &span, const QString &key) const;

    QByteArrayList m_lines;
    QByteArray m_eol = "\n";
    bool m_endsWithEol = true;
};

} // namespace quarl
