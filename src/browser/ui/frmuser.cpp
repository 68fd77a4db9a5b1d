#include "browser/ui/frmuser.h"

#include "browser/recordsources.h"
#include "browser/retry.h"
#include "core/prompter.h"
#include "core/rights.h"
#include "core/ui/screenregistry.h"
#include "store/passwordhash.h"
#include "store/session.h"

#include <QCheckBox>
#include <QGridLayout>
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
    m_rights[0] = {3, QStringLiteral("urights"), new QCheckBox(tr("Super-user: every &button"), fieldArea())};
    m_rights[1] = {0, QStringLiteral("mrights"), new QCheckBox(tr("Super-user: every &menu entry"), fieldArea())};
    m_rights[0].superUser->setObjectName(QStringLiteral("chkUserSU"));
    m_rights[1].superUser->setObjectName(QStringLiteral("chkModuleSU"));
    for (int k = 0; k < 2; ++k) {
        m_rights[k].superUser->setToolTip(tr("Grants what the codes grant and more: stored as \" SU\""));
        fieldGrid()->addWidget(m_rights[k].superUser, 2 + k, 2);
    }
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

void frmUser::SwitchMode(Mode mode)
{
    RecordBrowser::SwitchMode(mode);
    for (const RightsField &r : m_rights)
        r.superUser->setEnabled(mode != Mode::Browse && fieldEditable(r.index));
}

void frmUser::currentRowShown()
{
    const RecordSet &rs = adoPrimaryRS();
    for (RightsField &r : m_rights) {
        r.stored = rs.isOpen() ? rs.value(r.column) : QVariant();
        const QString stored = r.stored.toString();
        r.shownCodes = Rights::codesShown(stored);
        r.shownSuperUser = Rights::isSuperUser(stored);
        setFieldText(r.index, r.shownCodes);
        r.superUser->setChecked(r.shownSuperUser);
    }
}

QList<QWidget *> frmUser::tabOrder() const
{
    QList<QWidget *> order = RecordBrowser::tabOrder();
    for (const RightsField &r : m_rights)
        order.insert(order.indexOf(txtFields(r.index)) + 1, r.superUser);
    return order;
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
    // A rights string is written only when its codes or its box changed, and then in the
    // form the checks read; otherwise it keeps exactly what it held.
    for (const RightsField &r : m_rights) {
        const int column = rs.columnIndex(r.column);
        const QString codes = txtFields(r.index)->text().simplified();
        if (column < 0)
            continue;
        if (codes != r.shownCodes || r.superUser->isChecked() != r.shownSuperUser)
            rs.setValue(column, Rights::composed(codes, r.superUser->isChecked()));
        else
            rs.setValue(column, r.stored);
    }
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
