#include "core/scriptedprompter.h"

namespace quarl {

ScriptedPrompter::ScriptedPrompter()
{
    Prompter::install(this);
}

ScriptedPrompter::~ScriptedPrompter()
{
    if (&Prompter::current() == this)
        Prompter::install(nullptr);
}

void ScriptedPrompter::answerYes(int times)
{
    for (int i = 0; i < times; ++i)
        m_yesNo.enqueue(Answer::Yes);
}

void ScriptedPrompter::answerNo(int times)
{
    for (int i = 0; i < times; ++i)
        m_yesNo.enqueue(Answer::No);
}

void ScriptedPrompter::answerCancel(int times)
{
    for (int i = 0; i < times; ++i)
        m_yesNo.enqueue(Answer::Cancel);
}

void ScriptedPrompter::answerInput(const std::optional<QString> &text)
{
    m_inputs.enqueue(text);
}

void ScriptedPrompter::answerFile(const QString &path)
{
    m_files.enqueue(path);
}

QStringList ScriptedPrompter::texts() const
{
    QStringList out;
    for (const Event &e : m_events)
        out << e.text;
    return out;
}

QStringList ScriptedPrompter::messages() const
{
    QStringList out;
    for (const Event &e : m_events) {
        if (e.kind == Kind::Message)
            out << e.text;
    }
    return out;
}

int ScriptedPrompter::beeps() const
{
    int n = 0;
    for (const Event &e : m_events)
        n += e.kind == Kind::Beep ? 1 : 0;
    return n;
}

void ScriptedPrompter::message(const QString &text, Icon icon, const QString &title)
{
    m_events.append({Kind::Message, text, title.isEmpty() ? applicationTitle() : title, icon});
}

bool ScriptedPrompter::askYesNo(const QString &text, Icon icon, const QString &title)
{
    m_events.append({Kind::Question, text, title.isEmpty() ? applicationTitle() : title, icon});
    return !m_yesNo.isEmpty() && m_yesNo.dequeue() == Answer::Yes;
}

bool ScriptedPrompter::askYesNoDefaultNo(const QString &text, Icon icon, const QString &title)
{
    m_events.append({Kind::Question, text, title.isEmpty() ? applicationTitle() : title, icon, true});
    return !m_yesNo.isEmpty() && m_yesNo.dequeue() == Answer::Yes;
}

Prompter::Answer ScriptedPrompter::askYesNoCancel(const QString &text, Icon icon, const QString &title)
{
    m_events.append({Kind::Question, text, title.isEmpty() ? applicationTitle() : title, icon});
    return m_yesNo.isEmpty() ? Answer::No : m_yesNo.dequeue();
}

std::optional<QString> ScriptedPrompter::input(const QString &prompt, const QString &title, const QString &)
{
    m_events.append({Kind::Input, prompt, title.isEmpty() ? applicationTitle() : title, Icon::None});
    return m_inputs.isEmpty() ? std::nullopt : m_inputs.dequeue();
}

QString ScriptedPrompter::openFileName(const QString &title, const QString &, const QString &)
{
    m_events.append({Kind::OpenFile, title, title, Icon::None});
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedPrompter::saveFileName(const QString &title, const QString &, const QString &)
{
    m_events.append({Kind::SaveFile, title, title, Icon::None});
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedPrompter::folderName(const QString &title, const QString &)
{
    m_events.append({Kind::Folder, title, title, Icon::None});
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

void ScriptedPrompter::beep()
{
    m_events.append({Kind::Beep, QString(), QString(), Icon::None});
}

} // namespace quarl
