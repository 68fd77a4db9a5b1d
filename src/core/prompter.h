#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quarl {

// Every message box, question, input box, file chooser and beep of the program goes
// through the installed prompter: the screens install the Qt one, tests a scripted one.
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompter() = default;

    // A message with an OK button; the title defaults to the application's title.
    virtual void message(const QString &text, Icon icon = Icon::None, const QString &title = {}) = 0;
    // Yes/No question, Yes the default; true for Yes.
    virtual bool askYesNo(const QString &text, Icon icon = Icon::None, const QString &title = {}) = 0;
    // Yes/No/Cancel question, Yes the default. Prompters without a Cancel answer Yes or No.
    virtual Answer askYesNoCancel(const QString &text, Icon icon = Icon::None, const QString &title = {})
    {
        return askYesNo(text, icon, title) ? Answer::Yes : Answer::No;
    }
    // The same question with No the default, for a step that is better not taken.
    virtual bool askYesNoDefaultNo(const QString &text, Icon icon = Icon::None, const QString &title = {})
    {
        return askYesNo(text, icon, title);
    }
    // A message over a read-only list the user can scroll and copy from (findings, rows).
    virtual void messageWithList(const QString &text, const QStringList &lines, Icon icon = Icon::None,
                                 const QString &title = {})
    {
        message(lines.isEmpty() ? text : text + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')), icon, title);
    }
    // Input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString &prompt, const QString &title = {},
                                         const QString &initial = {}) = 0;
    // File choosers; the empty text when cancelled. filter as "Data files (*.qdb)".
    virtual QString openFileName(const QString &title, const QString &filter, const QString &folder = {}) = 0;
    virtual QString saveFileName(const QString &title, const QString &filter, const QString &folder = {}) = 0;
    virtual QString folderName(const QString &title, const QString &folder = {}) = 0;
    virtual void beep() = 0;

    static QString applicationTitle() { return QStringLiteral("Quarl"); }

    static Prompter &current();
    // Takes no ownership; nullptr restores a silent default that answers No / cancels.
    static void install(Prompter *prompter);
};

} // namespace quarl
