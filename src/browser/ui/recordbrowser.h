#pragma once

#include "browser/recordset.h"
#include "core/failure.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QGridLayout;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quarl {

// The record browser: the pattern of every data screen. One row of the primary record
// set is shown in the field array txtFields; browse, add and edit modes; the commands
// Add, Edit, Update, Cancel, Delete, Refresh, Close, First, Previous, Next, Last and
// Search; a status line; keyboard commands for all of them.
//
// A member screen, in its constructor: setCaptions(), addField() or addFieldRow() for each
// field in tab order, setFirstField(), setSearch() and, where its rules differ,
// setRules(). It gives its record source by overriding recordSource() and changes a
// command by overriding it (calling the base where it only adds to it). Load runs on the
// first show, or earlier through load().
//
// Field indexes below 100 are mandatory: leaving such a field empty in add or edit mode
// keeps the focus in it, and Update refuses to write while one is empty.
class RecordBrowser : public QWidget
{
    Q_OBJECT

public:
    enum class Mode { Browse, Add, Edit };

    struct Search
    {
        QString column;   // the key column compared with the typed prefix
        QString prompt;   // "Vessel Code to search ?"
        QString notFound; // "Could not find Vessel Code"
    };

    struct Rules
    {
        bool maxLengths = true;   // maximum length of each field from its column
        bool digitsFilter = true; // digits and "." only in integer and double columns
        bool mandatory = true;    // indexes below 100 may not be left empty
        bool recordStatus = true; // "Record: " + position after every move
        bool statusAtLoad = true; // the status line already set by the move at load
        bool openOnLastRow = true; // false: the screen opens on the first row
    };

    ~RecordBrowser() override;

    // Opens the record set, binds the fields and shows the last row. Runs once; later
    // calls answer whether the first one opened the record set.
    bool load();
    bool isLoaded() const { return m_loaded; }

    Mode mode() const { return m_mode; }
    // Whether the logon this screen was loaded under has been replaced by Logout or by
    // another logon. Such a screen writes nothing and shows nothing more; it may only close.
    bool sessionEnded() const;
    RecordSet &adoPrimaryRS() { return m_rs; }
    const RecordSet &adoPrimaryRS() const { return m_rs; }
    QLineEdit *txtFields(int index) const;
    QList<int> fieldIndexes() const { return m_order; } // in tab order
    QString fieldColumn(int index) const;
    int firstField() const { return m_firstField; }
    QString statusText() const;

    // Places the screen to the right of another window, inside the same work area when
    // both are there (a screen opened from another one, beside it). Before load the place
    // is kept and taken at load instead of the top left corner.
    Q_INVOKABLE void placeBeside(QWidget *other);
    // Opens another screen of the program beside this one, as the main window opens its
    // screens (or brings it forward when it is open already); nullptr when there is none.
    QWidget *openScreenBeside(const QString &name);

    // The commands, as the buttons and keys run them.
    virtual void addRecord();
    virtual void editRecord();
    virtual void updateRecord();
    virtual void cancelRecord();
    virtual void deleteRecord();
    virtual void refreshRecords();
    virtual void closeScreen();
    virtual void moveFirst();
    virtual void movePrevious();
    virtual void moveNext();
    virtual void moveLast();
    virtual void searchRecords();

protected:
    explicit RecordBrowser(QWidget *parent = nullptr);

    // --- set-up, from the member's constructor
    void setCaptions(const QString &windowTitle, const QString &heading);
    // A field bound to a column; its place in the layout is the member's choice.
    QLineEdit *addField(int index, const QString &column);
    // A field with its label on the next row of the field grid.
    QLineEdit *addFieldRow(const QString &caption, int index, const QString &column);
    QLabel *addLabel(const QString &caption, QLineEdit *buddy);
    QGridLayout *fieldGrid() const { return m_grid; }
    QWidget *fieldArea() const { return m_fieldArea; }
    void setFirstField(int index) { m_firstField = index; }
    void setSearch(const Search &search) { m_search = search; }
    void setRules(const Rules &rules) { m_rules = rules; }
    const Rules &rules() const { return m_rules; }

    // --- hooks
    virtual RecordSource recordSource() const = 0;
    // The connection the record set is read from: the session's company connection.
    virtual Result<Database> openDatabase();
    // Whether a field may be typed into in add or edit mode.
    virtual bool fieldEditable(int index) const;
    // Sets the controls for browse mode or for add and edit mode (see the class comment).
    virtual void SwitchMode(Mode mode);
    // Disables the buttons whose code the user rights string lacks; once, at load.
    virtual void applyButtonRights();
    // Shows the current row (or the pending one) in the fields and the status line.
    virtual void showCurrentRow();
    // Called after every showCurrentRow(), for what a member shows beside the fields.
    virtual void currentRowShown() {}
    // Whether the focus may leave the field; the mandatory rule. Only asked in add and
    // edit mode. A member that refuses for a rule of its own says which with holdReason().
    virtual bool acceptFieldLeave(int index);
    // The status line's word on why the cursor stays in a field ("B/L Date may not be
    // after today"); without one, "<label> is required" for an empty mandatory field.
    void holdReason(const QString &text) { m_holdReason = text; }
    void showHeldField(int index);
    // The status line says why the cursor is held (a cell, a look-up list left empty),
    // until the cursor moves on or clearHold() finds the reason still shown.
    void showHold(const QString &why);
    void clearHold();
    // A control besides the fields that may not be left empty (a look-up list): its label
    // is marked as the mandatory fields' labels are; showRequired() names it in the status line.
    void markMandatory(QWidget *control);
    void showRequired(QWidget *control);
    // Any change of a field's text, typed or shown.
    virtual void fieldTextChanged(int index);
    // The keyboard commands; true when the key was used.
    virtual bool handleKey(QKeyEvent *event);
    // Keys that handleKey() uses, so that no shortcut of the main window takes them first.
    virtual bool isCommandKey(const QKeyEvent *event) const;
    // The controls in the order Tab and Enter visit them: the fields, then the buttons.
    virtual QList<QWidget *> tabOrder() const;
    // The rules a row is held to before Update, or closing with Yes, writes it; false (with
    // the focus on the field and the reason in the status line) refuses the save.
    virtual bool checkBeforeSave();
    // Update's write: the pending row's typed values, written in one batch.
    virtual Status writePending();
    // Where a successful Update leaves the screen: an added row is the last one, an edited
    // row stays current.
    virtual void positionAfterSave(bool added);
    // After Edit (and after loading the row again when a save was refused because another
    // workstation had changed it): the pending row is what the database holds now.
    virtual void editStarted() {}
    // Runs inside Delete's transaction, with the row locked, before the row goes: rows that
    // belong to it go first; a failure stops the delete.
    virtual Status beforeDeleteRow() { return Status::ok(); }
    // Delete's question about the row shown.
    virtual QString deleteQuestion() const { return QStringLiteral("Confirm Deletion ?"); }
    // How Update shows a failure of writePending(); the description by default.
    virtual void reportUpdateFailure(const Failure &failure);
    // How the other commands show a failure: the description.
    virtual void reportFailure(const Failure &failure);
    // On closing: false keeps the screen open. Asks to save a pending row.
    virtual bool unload();

    // --- helpers for members
    // A command that reads or writes company data starts with this: true (after telling
    // the user) when the screen's session has ended and the command must not run.
    bool refuseAfterSessionEnd();
    void setStatus(const QString &text);
    // Puts a text into a field as the program's own: a value longer than the field's typing
    // limit is shown whole and the limit still holds for what is typed next.
    void setFieldText(int index, const QString &text);
    // Moves the typed texts that changed into the pending row; the failure names the field.
    Status collectFields();
    // The first shown, typeable mandatory field that is empty, or -1.
    int firstEmptyMandatoryField() const;
    bool isFieldMandatory(int index) const;
    void focusField(int index);
    void focusAdd(); // on cmdAdd when it can take the focus
    // Moves the focus to the next or previous control of this screen, as Tab does, after
    // asking acceptFieldLeave() of a field that is left.
    void moveFocus(bool forward);
    int fieldIndexOf(const QObject *object) const; // -1 when not a field
    // Installs the keyboard handling on a control added after load.
    void watch(QWidget *widget);
    void setMode(Mode mode) { m_mode = mode; }
    // What the messages about other workstations call a row: "record", "bill of lading".
    void setRecordNoun(const QString &noun) { m_noun = noun; }
    // A failure of Update or of closing with a pending row: a save another workstation's
    // change or delete refused offers to load the row as it is now, any other is reported.
    void reportSaveFailure(const Failure &failure);
    int savedPosition() const { return m_savedPosition; }
    void setSavedPosition(int position) { m_savedPosition = position; }

    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    QLabel *lblHeading = nullptr;
    QLabel *lblStatus = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdClose = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdUpdate = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdFirst = nullptr;
    QPushButton *cmdPrevious = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdLast = nullptr;
    QPushButton *cmdExit = nullptr;
    QHBoxLayout *commandRow() const { return m_commandRow; }

private:
    struct Field
    {
        QLineEdit *edit = nullptr;
        QString column;
        int columnIndex = -1; // in the record set
        QString shown;        // the text last shown, to tell typed changes
    };

    Status bindFields();
    bool keyIsCommand(QKeyEvent *event) const;
    // The screen's own visible, enabled button whose mnemonic is the Alt key pressed.
    QAbstractButton *mnemonicButton(const QKeyEvent *event) const;
    void markMandatoryFields();
    bool altKeyWhileTyping(const QKeyEvent *event) const;
    bool altAloneWhileTyping(const QKeyEvent *event) const;
    void refocusLater(QLineEdit *field);
    bool fieldFull(QObject *watched, const QKeyEvent *event);
    QString fieldCaption(int index) const;
    void applyPlacement();
    enum class Stale { Editing, Saving, Deleting };
    QString staleText(const Failure &failure, Stale when) const;
    void reloadForEdit();

    RecordSet m_rs;
    QHash<int, Field> m_fields;
    QList<int> m_order;
    QHash<const QObject *, int> m_indexOf;
    int m_firstField = -1;
    Search m_search;
    Rules m_rules;
    Mode m_mode = Mode::Browse;
    int m_savedPosition = -1;
    bool m_loaded = false;
    bool m_opened = false;
    bool m_unloaded = false;
    bool m_showing = false;
    quint64 m_sessionSerial = 0;
    QString m_holdReason;
    QString m_shownHold; // the reason in the status line, while it is there
    QWidget *m_fieldArea = nullptr;
    QGridLayout *m_grid = nullptr;
    QHBoxLayout *m_commandRow = nullptr;
    int m_gridRows = 0;
    QPointer<QWidget> m_beside;
    QString m_noun = QStringLiteral("record");
};

} // namespace quarl
