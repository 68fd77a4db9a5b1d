#include "core/inifile.h"

#include "core/safefile.h"

#include <QFile>
#include <QStringDecoder>

namespace quarl {

namespace {

// Files carried over from Windows installations are in the ANSI code page; ours are UTF-8.
QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

bool isComment(const QByteArray &trimmed)
{
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

std::optional<QString> sectionName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.startsWith('[')) {
        const int close = t.indexOf(']');
        if (close > 0)
            return decode(t.mid(1, close - 1)).trimmed();
    }
    return std::nullopt;
}

// Key and raw value of a "key=value" line.
std::optional<std::pair<QString, QByteArray>> keyValue(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || isComment(t))
        return std::nullopt;
    const int eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return std::make_pair(decode(line.left(eq)).trimmed(), line.mid(eq + 1));
}

// A value may not break the file into further lines.
QByteArray oneLine(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return v.toUtf8();
}

} // namespace

IniFile IniFile::load(const QString &path)
{
    IniFile ini;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ini;
    QByteArray all = file.readAll();
    if (all.startsWith("\xEF\xBB\xBF"))
        all.remove(0, 3);
    if (all.isEmpty())
        return ini;
    ini.m_eol = all.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    ini.m_endsWithEol = all.endsWith('\n');
    ini.m_lines = all.split('\n');
    if (ini.m_endsWithEol)
        ini.m_lines.removeLast();
    for (QByteArray &line : ini.m_lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return ini;
}

std::optional<IniFile::Span> IniFile::findSection(const QString &section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines.at(i));
        if (name && name->compare(section.trimmed(), Qt::CaseInsensitive) == 0) {
            Span span;
            span.header = i;
            span.first = i + 1;
            int j = i + 1;
            while (j < m_lines.size() && !sectionName(m_lines.at(j)))
                ++j;
            span.end = j;
            return span;
        }
    }
    return std::nullopt;
}

int IniFile::findKey(const Span &span, const QString &key) const
{
    for (int i = span.first; i < span.end; ++i) {
        const auto kv = keyValue(m_lines.at(i));
        if (kv && kv->first.compare(key.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const auto span = findSection(section);
    if (!span)
        return std::nullopt;
    const int line = findKey(*span, key);
    if (line < 0)
        return std::nullopt;
    return decode(keyValue(m_lines.at(line))->second);
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QByteArray line = key.trimmed().toUtf8() + '=' + oneLine(value);
    auto span = findSection(section);
    if (!span) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QByteArray());
        m_lines.append('[' + section.trimmed().toUtf8() + ']');
        m_lines.append(line);
        return;
    }
    const int existing = findKey(*span, key);
    if (existing >= 0) {
        m_lines[existing] = line;
        return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays.
    int at = span->end;
    while (at > span->first && m_lines.at(at - 1).trimmed().isEmpty())
        --at;
    m_lines.insert(at, line);
}

bool IniFile::removeSection(const QString &section)
{
    const auto span = findSection(section);
    if (!span)
        return false;
    m_lines.erase(m_lines.begin() + span->header, m_lines.begin() + span->end);
    return true;
}

bool IniFile::removeKey(const QString &section, const QString &key)
{
    bool removed = false;
    for (;;) {
        const auto span = findSection(section);
        const int line = span ? findKey(*span, key) : -1;
        if (line < 0)
            return removed;
        m_lines.removeAt(line);
        removed = true;
    }
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const QByteArray &line : m_lines) {
        if (const auto name = sectionName(line))
            out << *name;
    }
    return out;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList out;
    if (const auto span = findSection(section)) {
        for (int i = span->first; i < span->end; ++i) {
            if (const auto kv = keyValue(m_lines.at(i)))
                out << kv->first;
        }
    }
    return out;
}

bool IniFile::holdsPassword() const
{
    for (const QByteArray &line : m_lines) {
        const auto kv = keyValue(line);
        if (kv && !kv->second.trimmed().isEmpty()
            && (kv->first.compare(QLatin1String("Pwd"), Qt::CaseInsensitive) == 0
                || kv->first.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0))
            return true;
    }
    return false;
}

Status IniFile::save(const QString &path) const
{
    QByteArray text;
    for (int i = 0; i < m_lines.size(); ++i) {
        text += m_lines.at(i);
        if (i + 1 < m_lines.size() || m_endsWithEol)
            text += m_eol;
    }
    SafeFile file(path, SafeFile::Existing::Replace,
                  holdsPassword() ? SafeFile::Rights::OwnerOnly : SafeFile::Rights::KeepExisting);
    if (Status s = file.open(); !s)
        return s;
    if (Status s = file.write(text); !s)
        return s;
    return file.commit();
}

} // namespace quarl
