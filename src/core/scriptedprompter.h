#pragma once

#include "core/prompter.h"

#include <QList>
#include <QQueue>

namespace quarl {

// A prompter for tests: records everything shown and answers from a script.
// An unscripted question is answered No, an unscripted input or chooser cancelled.
class ScriptedPrompter : public Prompter
{
public:
    enum class Kind { Message, Question, Input, OpenFile, SaveFile, Folder, Beep };
    struct Event
    {
        Kind kind;
        QString text;
        QString title;
        Icon icon = Icon::None;
        bool defaultNo = false; // a question whose default answer is No
    };

    ScriptedPrompter();  // installs itself
    ~ScriptedPrompter() override; // uninstalls itself

    void answerYes(int times = 1);
    void answerNo(int times = 1);
    void answerCancel(int times = 1); // a Yes/No question takes it as No
    void answerInput(const std::optional<QString> &text);
    void answerFile(const QString &path); // for open, save and folder choosers

    const QList<Event> &events() const { return m_events; }
    QStringList texts() const;           // the text of every event, in order
    QStringList messages() const;        // message texts only
    int beeps() const;
    bool scriptUsedUp() const { return m_yesNo.isEmpty() && m_inputs.isEmpty() && m_files.isEmpty(); }
    void clear() { m_events.clear(); }

    void message(const QString &text, Icon icon, const QString &title) override;
    bool askYesNo(const QString &text, Icon icon, const QString &title) override;
    Answer askYesNoCancel(const QString &text, Icon icon, const QString &title) override;
    bool askYesNoDefaultNo(const QString &text, Icon icon, const QString &title) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &initial) override;
    QString openFileName(const QString &title, const QString &filter, const QString &folder) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &folder) override;
    QString folderName(const QString &title, const QString &folder) override;
    void beep() override;

private:
    QList<Event> m_events;
    QQueue<Answer> m_yesNo;
    QQueue<std::optional<QString>> m_inputs;
    QQueue<QString> m_files;
};

} // namespace quarl
