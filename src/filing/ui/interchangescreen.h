#pragma once

#include "store/database.h"

#include "manifest/outcome.h"

#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

namespace quarl {
// What the interchange screens share: overtype typing in every text field, Enter as Tab,
// Escape closes, the top left of the work area on first show, the appearance pass, and
// showing a command's outcome through the prompter.
class InterchangeScreen : public QWidget
{
    Q_OBJECT
public:
    // A field of the screen's field array: object name "txtFields(index)".
    QLineEdit *txtFields(int index) const;

protected:
    InterchangeScreen(const char *name, const QString &caption, QWidget *parent);

    QLineEdit *makeField(int index, int maxLength = 254);
    QLineEdit *makeLineEdit(const char *name, int maxLength = 254);
    QPushButton *makeButton(const char *name, const QString &caption);
    // Ends the constructor: keyboard behaviour on every control, then the appearance.
    void finishLoading();

    // Runs once, the first time the screen is shown (the opening messages).
    virtual void opened() {}

    static Database database();
    // The notices, then the message; a Declined outcome shows nothing. True when done.
    static bool showOutcome(const igm::Outcome &outcome);
    // The field's text without its trailing blanks, as the commands take paths.
    static QString trimmedRight(const QString &text);

    // The import of a file, as the import screens run it: the file name asked for when the
    // field is empty, the import's question asked through the prompter, its progress shown
    // when it takes more than a moment (Cancel stops it, and nothing is stored), and the
    // outcome shown. run gets the path, the progress, the cancel test and the question.
    using ImportRun = std::function<igm::Outcome(const QString &path, const igm::Progress &progress,
                                                 const std::function<bool()> &cancelled, const igm::Confirm &confirm)>;
    bool runImport(QLineEdit *file, const QString &fileMissing, const ImportRun &run);
    // Browse for a file to read into target, in the folder of the file it names, else of
    // near (a file chosen beside it), else of the installation.
    static void browseFile(QLineEdit *target, const QString &title, const QString &filter, const QString &near = {});

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_opened = false;
};

// Typing into a text field overwrites the character at the cursor.
class OvertypeTyping : public QObject
{
    Q_OBJECT
public:
    static void install(QWidget *screen);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};

} // namespace quarl
