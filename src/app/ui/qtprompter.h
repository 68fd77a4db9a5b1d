#pragma once

#include "core/prompter.h"

class QWidget;

namespace quarl {

// The prompter of the running program: message boxes, input boxes and file choosers of Qt.
class QtPrompter : public Prompter
{
public:
    void message(const QString &text, Icon icon, const QString &title) override;
    bool askYesNo(const QString &text, Icon icon, const QString &title) override;
    Answer askYesNoCancel(const QString &text, Icon icon, const QString &title) override;
    bool askYesNoDefaultNo(const QString &text, Icon icon, const QString &title) override;
    void messageWithList(const QString &text, const QStringList &lines, Icon icon, const QString &title) override;
    std::optional<QString> input(const QString &prompt, const QString &title, const QString &initial) override;
    QString openFileName(const QString &title, const QString &filter, const QString &folder) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &folder) override;
    QString folderName(const QString &title, const QString &folder) override;
    void beep() override;

private:
    static QWidget *parentWindow();
};

} // namespace quarl
