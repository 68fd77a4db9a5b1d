#include "browser/ui/frmuser.h"

#include "core/prompter.h"
#include "store/session.h"
#include "core/ui/screenregistry.h"
#include "browser/recordsources.h"
#include "browser/retry.h"
#include "store/passwordhash.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

namespace quarl {

namespace {

// The password shows as "#", whatever the platform's own mask character.
class HashMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '#';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

frmUser::frmUser(QWidget *parent) : RecordBrowser(parent)
{
    setCaptions(QStringLiteral("User Master"), QStringLiteral("User Master"));
    addFieldRow(QStringLiteral("User Name"), 1, QStringLiteral("uid"));
    QLineEdit *password = addFieldRow(QStringLiteral("Password"), 2, QStringLiteral("pwd"));
    auto *mask = new HashMaskStyle;
    mask->setParent(password);
    password->setStyle(mask);
    password->setEchoMode(QLineEdit::Password);
    addFieldRow(QStringLiteral("User Rights"), 3, QStringLiteral("urights"));
    addFieldRow(QStringLiteral("Module Rights"), 0, QStringLiteral("mrights"));
    setFirstField(1);
    setSearch({QStringLiteral("uid"), QStringLiteral("Item Name to search ?"), QStringLiteral("Could not find Item")});
    Rules r;
    r.digitsFilter = false;
    r.mandatory = false;
    r.statusAtLoad = false;
    setRules(r);
    cmdUpdate->setText(QStringLiteral("&Save"));
}

bool frmUser::nothingTyped() const
{
    for (int index : fieldIndexes()) {
        if (!txtFields(index)->text().isEmpty())
            return false;
    }
    return true;
}

bool frmUser::administers() const
{
    return RecordSources::administersUsers(Session::current().menuRights);
}

RecordSource frmUser::recordSource() const
{
    return RecordSources::users(Session::current().menuRights, Session::current().userId);
}

void frmUser::applyButtonRights()
{
    RecordBrowser::applyButtonRights();
    if (!administers()) {
        for (QPushButton *b : {cmdAdd, cmdDelete, cmdRefresh, cmdSearch})
            b->setEnabled(false);
    }
}

bool frmUser::fieldEditable(int index) const
{
    return administers() || index == 2;
}

bool frmUser::isCommandKey(const QKeyEvent *event) const
{
    if (event->key() == Qt::Key_E && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier)
        return mode() == Mode::Browse;
    return RecordBrowser::isCommandKey(event);
}

bool frmUser::handleKey(QKeyEvent *event)
{
    if (mode() == Mode::Browse && event->key() == Qt::Key_E
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        editRecord();
        return true;
    }
    return RecordBrowser::handleKey(event);
}

void frmUser::addRecord()
{
    // Ctrl+A too: only a user administrator creates users.
    if (!administers()) {
        Prompter::current().beep();
        return;
    }
    RecordBrowser::addRecord();
}

void frmUser::cancelRecord()
{
    RecordBrowser::cancelRecord();
    focusAdd();
}

// What is typed into the password field is kept only as its hash; a password left as it
// was shown (the stored hash) is not touched.
Status frmUser::writePending()
{
    if (sessionEnded())
        return RecordBrowser::writePending(); // refused there
    if (Status s = collectFields(); !s)
        return s;
    RecordSet &rs = adoPrimaryRS();
    const int pwd = rs.columnIndex(QStringLiteral("pwd"));
    if (pwd >= 0 && rs.isModified(pwd)) {
        const QString typed = rs.value(pwd).toString();
        if (!typed.isEmpty()) {
            const QString hash = PasswordHash::make(typed);
            if (hash.isEmpty())
                return Failure(ErrorNumber::DatabaseError, QStringLiteral("The password could not be hashed."));
            rs.setValue(pwd, hash);
        }
    }
    return rs.update();
}

void frmUser::reportUpdateFailure(const Failure &failure)
{
    Prompter::current().message(failure.numberAndText());
}

bool frmUser::unload()
{
    if (sessionEnded())
        return RecordBrowser::unload(); // drops what the logged-out user typed
    // A user being added or edited is written when the screen closes, also by the close box.
    if (mode() == Mode::Add && nothingTyped()) {
        // a new row nothing was typed into is no user
        adoPrimaryRS().cancelUpdate();
        setMode(Mode::Browse);
    }
    if (mode() != Mode::Browse && adoPrimaryRS().isOpen()) {
        const Dialect dialect = adoPrimaryRS().database().dialect();
        Failure last;
        const Status s = writeWithRetry(
            [&] {
                // still no connection: the same failure again
                if (dialect.isConnectionLost(last.code, last.description) && !adoPrimaryRS().reconnect())
                    return Status(last);
                Status written = writePending();
                last = written.failure();
                return written;
            },
            [&](const Failure &f) { return dialect.isTransientFailure(f.code, f.description); },
            [] { return Prompter::current().askYesNo(QStringLiteral("Could not open connection to database Retry ?")); },
            SilentCloseAttempts);
        if (!s && !dialect.isTransientFailure(s.failure().code, s.failure().description))
            Prompter::current().message(s.failure().numberAndText());
        adoPrimaryRS().cancelUpdate();
        setMode(Mode::Browse);
    }
    return true;
}

QUARL_REGISTER_SCREEN(frmUser)

} // namespace quarl
