#include "browser/ui/recordbrowser.h"

#include "appearance/ui/appearance.h"
#include "browser/fieldformat.h"
#include "browser/ui/browsericons.h"
#include "browser/ui/fieldvalidator.h"
#include "core/prompter.h"
#include "core/rights.h"
#include "core/ui/altkeys.h"
#include "core/ui/screenregistry.h"
#include "store/session.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <tuple>

namespace quarl {

namespace {

QString recordText(int position)
{
    return QStringLiteral("Record: ") + QString::number(position + 1);
}

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    b->setMinimumWidth(84);
    return b;
}

QPushButton *makePictureButton(QWidget *parent, const char *name, const QIcon &icon, const QString &tip)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setIconSize(QSize(20, 20));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    // the keys reach these commands; Tab and Enter need not stop on them
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

RecordBrowser::RecordBrowser(QWidget *parent) : QWidget(parent)
{
    setProperty(AnswersOwnAltKeys, true); // below, through the focus and the field rules
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 10, 14, 10);
    outer->setSpacing(8);

    lblHeading = new QLabel(this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    QFont headingFont = lblHeading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    lblHeading->setFont(headingFont);
    outer->addWidget(lblHeading);

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    outer->addWidget(rule);

    m_fieldArea = new QWidget(this);
    m_fieldArea->setObjectName(QStringLiteral("fieldArea"));
    m_grid = new QGridLayout(m_fieldArea);
    m_grid->setContentsMargins(0, 4, 0, 4);
    m_grid->setHorizontalSpacing(10);
    m_grid->setVerticalSpacing(6);
    m_grid->setColumnStretch(2, 1);
    outer->addWidget(m_fieldArea);
    outer->addStretch(1);

    // the record bar: navigation buttons on either side of the status line
    auto *bar = new QHBoxLayout;
    bar->setSpacing(2);
    cmdFirst = makePictureButton(this, "cmdFirst", BrowserIcons::first(), tr("First record (Home, Ctrl+Up)"));
    cmdPrevious = makePictureButton(this, "cmdPrevious", BrowserIcons::previous(), tr("Previous record (Up, Page Up)"));
    cmdNext = makePictureButton(this, "cmdNext", BrowserIcons::next(), tr("Next record (Down, Page Down)"));
    cmdLast = makePictureButton(this, "cmdLast", BrowserIcons::last(), tr("Last record (End, Ctrl+Down)"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setStyleSheet(QStringLiteral("QLabel#lblStatus { border: 1px solid palette(mid); padding: 0 6px; }"));
    lblStatus->setMinimumHeight(cmdFirst->sizeHint().height());
    lblStatus->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(cmdFirst);
    bar->addWidget(cmdPrevious);
    bar->addWidget(lblStatus, 1);
    bar->addWidget(cmdNext);
    bar->addWidget(cmdLast);
    outer->addLayout(bar);

    // Update shares its place with Add, Cancel with Edit: only one of each pair shows.
    m_commandRow = new QHBoxLayout;
    m_commandRow->setSpacing(6);
    cmdAdd = makeButton(this, "cmdAdd", tr("&Add"));
    cmdUpdate = makeButton(this, "cmdUpdate", tr("&Update"));
    cmdEdit = makeButton(this, "cmdEdit", tr("&Edit"));
    cmdCancel = makeButton(this, "cmdCancel", tr("&Cancel"));
    cmdDelete = makeButton(this, "cmdDelete", tr("&Delete"));
    cmdRefresh = makeButton(this, "cmdRefresh", tr("&Refresh"));
    cmdSearch = makeButton(this, "cmdSearch", tr("&Search"));
    cmdClose = makeButton(this, "cmdClose", tr("C&lose"));
    cmdExit = makePictureButton(this, "cmdExit", BrowserIcons::door(), tr("Close (Esc)"));
    cmdExit->setIconSize(QSize(26, 26));
    for (QPushButton *b : {cmdAdd, cmdUpdate, cmdEdit, cmdCancel, cmdDelete, cmdRefresh, cmdSearch, cmdClose})
        m_commandRow->addWidget(b);
    m_commandRow->addStretch(1);
    m_commandRow->addWidget(cmdExit);
    outer->addLayout(m_commandRow);

    connect(cmdAdd, &QPushButton::clicked, this, [this] { addRecord(); });
    connect(cmdEdit, &QPushButton::clicked, this, [this] { editRecord(); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { updateRecord(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cancelRecord(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { deleteRecord(); });
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { refreshRecords(); });
    connect(cmdSearch, &QPushButton::clicked, this, [this] { searchRecords(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { closeScreen(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { closeScreen(); });
    connect(cmdFirst, &QPushButton::clicked, this, [this] { moveFirst(); });
    connect(cmdPrevious, &QPushButton::clicked, this, [this] { movePrevious(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { moveNext(); });
    connect(cmdLast, &QPushButton::clicked, this, [this] { moveLast(); });

    // Until load, Update and Cancel stay out of sight: the screen shows in browse mode.
    cmdUpdate->hide();
    cmdCancel->hide();
}

RecordBrowser::~RecordBrowser() = default;

void RecordBrowser::setCaptions(const QString &windowTitle, const QString &heading)
{
    setWindowTitle(windowTitle);
    lblHeading->setText(heading);
}

QLineEdit *RecordBrowser::addField(int index, const QString &column)
{
    auto *edit = new QLineEdit(m_fieldArea);
    edit->setObjectName(QStringLiteral("txtFields(%1)").arg(index));
    edit->setProperty("index", index);
    m_fields.insert(index, Field{edit, column, -1, QString()});
    m_order.append(index);
    m_indexOf.insert(edit, index);
    connect(edit, &QLineEdit::textChanged, this, [this, index] { fieldTextChanged(index); });
    if (m_firstField < 0)
        m_firstField = index;
    return edit;
}

QLabel *RecordBrowser::addLabel(const QString &caption, QLineEdit *buddy)
{
    auto *label = new QLabel(caption, m_fieldArea);
    if (buddy) {
        label->setObjectName(QStringLiteral("lblLabels(%1)").arg(buddy->property("index").toInt()));
        label->setBuddy(buddy);
    }
    return label;
}

QLineEdit *RecordBrowser::addFieldRow(const QString &caption, int index, const QString &column)
{
    QLineEdit *edit = addField(index, column);
    QLabel *label = addLabel(caption, edit);
    m_grid->addWidget(label, m_gridRows, 0);
    m_grid->addWidget(edit, m_gridRows, 1, Qt::AlignLeft);
    ++m_gridRows;
    return edit;
}

QLineEdit *RecordBrowser::txtFields(int index) const
{
    const auto it = m_fields.constFind(index);
    return it == m_fields.constEnd() ? nullptr : it->edit;
}

QString RecordBrowser::fieldColumn(int index) const
{
    return m_fields.value(index).column;
}

QString RecordBrowser::statusText() const
{
    return lblStatus->text();
}

int RecordBrowser::fieldIndexOf(const QObject *object) const
{
    return m_indexOf.value(object, -1);
}

QString RecordBrowser::fieldCaption(int index) const
{
    QLineEdit *edit = txtFields(index);
    for (QLabel *label : m_fieldArea->findChildren<QLabel *>()) {
        if (label->buddy() == edit)
            return label->text().remove(QLatin1Char('&'));
    }
    return fieldColumn(index);
}

// ---------------------------------------------------------------- load

namespace {

QWidget *frameOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(p))
            return sub;
    }
    return w->window();
}

} // namespace

void RecordBrowser::placeBeside(QWidget *other)
{
    m_beside = other;
    if (m_loaded)
        applyPlacement();
}

void RecordBrowser::applyPlacement()
{
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (!m_beside) {
        if (sub)
            sub->move(0, 0);
        return;
    }
    QWidget *me = sub ? static_cast<QWidget *>(sub) : window();
    QWidget *them = frameOf(m_beside);
    if (me == them)
        return;
    if (sub && qobject_cast<QMdiSubWindow *>(them) && them->parentWidget() == sub->parentWidget()) {
        // within the work area: right of the other window, pushed back inside when it is narrow
        const int areaWidth = sub->parentWidget()->width();
        int x = them->geometry().right() + 1;
        if (x + me->width() > areaWidth)
            x = std::max(0, areaWidth - me->width());
        me->move(x, them->y());
    } else {
        me->move(them->frameGeometry().topRight() + QPoint(1, 0));
    }
}

QWidget *RecordBrowser::openScreenBeside(const QString &name)
{
    QWidget *screen = nullptr;
    // The shell opens it in the work area with its frame and skin, as from its menu.
    QWidget *host = screenHost();
    const bool shell = host && host->metaObject()->indexOfMethod("openScreen(QString)") >= 0;
    if (shell) {
        QMetaObject::invokeMethod(host, "openScreen", Qt::DirectConnection, Q_RETURN_ARG(QWidget *, screen),
                                  Q_ARG(QString, name));
    } else {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == name && w->isVisible())
                screen = w;
        }
        if (!screen) {
            screen = createScreen(name);
            if (!screen) {
                Prompter::current().message(QStringLiteral("This screen is not available in this version."),
                                            Prompter::Icon::Information);
                return nullptr;
            }
            screen->setAttribute(Qt::WA_DeleteOnClose);
            screen->setParent(window(), Qt::Window);
            applySkin(screen);
        }
        screen->show();
        screen->raise();
        screen->activateWindow();
    }
    if (auto *browser = qobject_cast<RecordBrowser *>(screen))
        browser->placeBeside(this);
    else if (screen && !shell)
        screen->move(window()->frameGeometry().topRight() + QPoint(1, 0));
    return screen;
}

Result<Database> RecordBrowser::openDatabase()
{
    const Database &db = Session::current().connection;
    if (!db.isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No company database is open."));
    return db;
}

Status RecordBrowser::bindFields()
{
    const QFontMetrics fm(font());
    const int charWidth = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")) / 36 + 1;
    for (int index : std::as_const(m_order)) {
        Field &f = m_fields[index];
        f.columnIndex = m_rs.columnIndex(f.column);
        if (f.columnIndex < 0 && index >= 100) {
            // an optional field of a newer release on a database not yet upgraded: left out
            f.edit->hide();
            for (QLabel *label : findChildren<QLabel *>()) {
                if (label->buddy() == f.edit)
                    label->hide();
            }
            continue;
        }
        if (f.columnIndex < 0)
            return Failure(ErrorNumber::InvalidArgument,
                           QStringLiteral("Item %1 cannot be found in %2.").arg(f.column, m_rs.source().table));
        const ColumnDef &def = m_rs.columnDef(f.columnIndex);
        const int maxLength = m_rules.maxLengths ? FieldFormat::maxLength(def) : 0;
        const bool digits = m_rules.digitsFilter && FieldFormat::isDigitsOnly(def);
        if (maxLength > 0 || digits)
            f.edit->setValidator(new FieldValidator(f.edit, maxLength, digits));
        if (f.edit->minimumWidth() == 0) {
            const int chars = std::clamp(maxLength > 0 ? maxLength : FieldFormat::maxLength(def), 6, 40);
            f.edit->setMinimumWidth(charWidth * (def.size > 0 ? chars : 30) + 14);
        }
    }
    return Status::ok();
}

bool RecordBrowser::load()
{
    if (m_loaded)
        return m_opened;
    m_loaded = true;
    m_sessionSerial = Session::current().serial;
    WaitCursor wait;

    applyPlacement();
    applyButtonRights();

    Status status;
    if (auto db = openDatabase(); !db)
        status = db.failure();
    else if (Status s = m_rs.open(db.value(), recordSource()); !s)
        status = s;
    else if (Status b = bindFields(); !b) {
        m_rs.close();
        status = b;
    }
    m_opened = status.isOk();

    const QList<QWidget *> order = tabOrder();
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    watch(this);
    markMandatoryFields();
    SwitchMode(Mode::Browse);

    if (m_opened) {
        if (!m_rs.isEmpty() && m_rules.openOnLastRow)
            m_rs.moveLast();
        const QString before = lblStatus->text();
        showCurrentRow();
        if (!m_rules.statusAtLoad)
            setStatus(before);
    } else {
        Prompter::current().message(status.failure().numberSpaceText());
    }
    applyAppearance(this);
    // Never narrower than what shows every field and button; the work area scrolls instead.
    setMinimumSize(minimumSizeHint());
    focusAdd();
    return m_opened;
}

// Mandatory fields: their labels in bold (a font, so every skin's colours stay) and a tip.
void RecordBrowser::markMandatoryFields()
{
    for (int index : std::as_const(m_order)) {
        if (isFieldMandatory(index))
            markMandatory(m_fields.value(index).edit);
    }
}

void RecordBrowser::markMandatory(QWidget *control)
{
    control->setProperty("mandatory", true);
    if (control->toolTip().isEmpty())
        control->setToolTip(tr("Required"));
    for (QLabel *label : m_fieldArea->findChildren<QLabel *>()) {
        if (label->buddy() == control) {
            QFont f = label->font();
            f.setBold(true);
            label->setFont(f);
            label->setProperty("mandatory", true);
            // a skin's style sheet sets the labels' font too; the label's own rule wins
            label->setStyleSheet(QStringLiteral("font-weight: bold;"));
        }
    }
}

void RecordBrowser::showRequired(QWidget *control)
{
    for (QLabel *label : m_fieldArea->findChildren<QLabel *>()) {
        if (label->buddy() == control) {
            showHold(label->text().remove(QLatin1Char('&')) + tr(" is required"));
            return;
        }
    }
}

void RecordBrowser::showHeldField(int index)
{
    QString why = m_holdReason;
    m_holdReason.clear();
    if (why.isEmpty()) {
        const QLineEdit *edit = txtFields(index);
        why = edit && edit->text().trimmed().isEmpty() && isFieldMandatory(index)
                  ? fieldCaption(index) + tr(" is required")
                  : fieldCaption(index) + tr(" is not accepted");
    }
    showHold(why);
}

void RecordBrowser::showHold(const QString &why)
{
    m_shownHold = why;
    setStatus(why);
}

// Once the cursor moves on, a reason that held it is no longer true: the status line goes
// back to the mode.
void RecordBrowser::clearHold()
{
    if (!m_shownHold.isEmpty() && lblStatus->text() == m_shownHold && m_mode != Mode::Browse)
        setStatus(m_mode == Mode::Add ? QStringLiteral("Add record") : QStringLiteral("Edit record"));
    m_shownHold.clear();
}

QList<QWidget *> RecordBrowser::tabOrder() const
{
    QList<QWidget *> order;
    for (int index : m_order)
        order << m_fields.value(index).edit;
    for (int i = 0; i < m_commandRow->count(); ++i) {
        if (QWidget *w = m_commandRow->itemAt(i)->widget(); w && (w->focusPolicy() & Qt::TabFocus))
            order << w;
    }
    return order;
}

void RecordBrowser::watch(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

void RecordBrowser::applyButtonRights()
{
    const QString rights = Session::current().userRights;
    if (Rights::isSuperUser(rights))
        return;
    cmdAdd->setEnabled(Rights::grants(rights, QLatin1String(Rights::Add)));
    cmdEdit->setEnabled(Rights::grants(rights, QLatin1String(Rights::Edit)));
    cmdDelete->setEnabled(Rights::grants(rights, QLatin1String(Rights::Delete)));
    cmdRefresh->setEnabled(Rights::grants(rights, QLatin1String(Rights::Refresh)));
    cmdSearch->setEnabled(Rights::grants(rights, QLatin1String(Rights::Search)));
}

bool RecordBrowser::fieldEditable(int) const
{
    return true;
}

void RecordBrowser::SwitchMode(Mode mode)
{
    const bool browse = mode == Mode::Browse;
    for (QPushButton *b : {cmdAdd, cmdEdit, cmdDelete, cmdClose, cmdRefresh})
        b->setVisible(browse);
    cmdSearch->setVisible(browse && !m_search.column.isEmpty());
    cmdUpdate->setVisible(!browse);
    cmdCancel->setVisible(!browse);
    for (QPushButton *b : {cmdExit, cmdFirst, cmdPrevious, cmdNext, cmdLast})
        b->setEnabled(browse);
    for (int index : std::as_const(m_order))
        m_fields[index].edit->setReadOnly(browse || !fieldEditable(index));
}

// ---------------------------------------------------------------- showing and collecting

void RecordBrowser::setStatus(const QString &text)
{
    lblStatus->setText(text);
}

void RecordBrowser::showCurrentRow()
{
    if (m_showing)
        return;
    m_showing = true;
    const bool open = m_rs.isOpen();
    for (int index : std::as_const(m_order)) {
        Field &f = m_fields[index];
        QString text;
        if (open && f.columnIndex >= 0)
            text = FieldFormat::text(m_rs.columnDef(f.columnIndex), m_rs.value(f.columnIndex),
                                     m_rs.database().dialect());
        f.shown = text;
        setFieldText(index, text);
        f.edit->setCursorPosition(0);
    }
    if (!m_rs.isPending())
        setStatus(m_rs.hasCurrent() && m_rules.recordStatus ? recordText(m_rs.position()) : QString());
    m_showing = false;
    currentRowShown();
}

void RecordBrowser::setFieldText(int index, const QString &text)
{
    QLineEdit *edit = txtFields(index);
    if (!edit)
        return;
    // A line edit whose text its validator refused stops refusing what is typed after it.
    const QValidator *validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setValidator(validator);
}

Status RecordBrowser::collectFields()
{
    if (!m_rs.isPending())
        return Status::ok();
    const Dialect &dialect = m_rs.database().dialect();
    for (int index : std::as_const(m_order)) {
        const Field &f = m_fields.value(index);
        if (f.columnIndex < 0)
            continue;
        const QString text = f.edit->text();
        if (text == f.shown && !m_rs.isModified(f.columnIndex))
            continue;
        auto value = FieldFormat::value(m_rs.columnDef(f.columnIndex), text, dialect);
        if (!value) {
            focusField(index);
            return Failure(value.failure().code, fieldCaption(index) + QStringLiteral(": ") + value.failure().description);
        }
        m_rs.setValue(f.columnIndex, value.value());
    }
    return Status::ok();
}

bool RecordBrowser::isFieldMandatory(int index) const
{
    return m_rules.mandatory && index < 100;
}

int RecordBrowser::firstEmptyMandatoryField() const
{
    for (int index : m_order) {
        const QLineEdit *edit = m_fields.value(index).edit;
        if (isFieldMandatory(index) && edit->isVisibleTo(this) && edit->isEnabled() && !edit->isReadOnly()
            && edit->text().trimmed().isEmpty())
            return index;
    }
    return -1;
}

void RecordBrowser::focusField(int index)
{
    if (QLineEdit *edit = txtFields(index)) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
}

void RecordBrowser::focusAdd()
{
    if (cmdAdd->isVisibleTo(this) && cmdAdd->isEnabled())
        cmdAdd->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- session

bool RecordBrowser::sessionEnded() const
{
    return m_loaded && m_sessionSerial != Session::current().serial;
}

bool RecordBrowser::refuseAfterSessionEnd()
{
    if (!sessionEnded())
        return false;
    // The rows and the connection belong to the user who logged out: let them go.
    if (m_mode != Mode::Browse) {
        m_rs.cancelUpdate();
        m_mode = Mode::Browse;
        SwitchMode(Mode::Browse);
    }
    m_rs.close();
    showCurrentRow();
    Prompter::current().message(
        QStringLiteral("This screen was opened before the last logout and can no longer be used. Close it and open it again."),
        Prompter::Icon::Warning);
    return true;
}

// ---------------------------------------------------------------- commands

void RecordBrowser::addRecord()
{
    if (refuseAfterSessionEnd())
        return;
    if (!m_rs.isOpen() || m_mode != Mode::Browse)
        return;
    if (!m_rs.isEmpty()) {
        m_savedPosition = m_rs.position();
        m_rs.moveLast();
    } else {
        m_savedPosition = -1;
    }
    m_rs.addNew();
    showCurrentRow();
    setStatus(QStringLiteral("Add record"));
    m_mode = Mode::Add;
    SwitchMode(Mode::Add);
    focusField(m_firstField);
}

void RecordBrowser::editRecord()
{
    if (refuseAfterSessionEnd())
        return;
    if (!m_rs.isOpen() || m_mode != Mode::Browse)
        return;
    m_savedPosition = m_rs.position();
    // The edit starts from the row as it is stored now, not as it was read here.
    if (Status s = m_rs.edit(); !s) {
        if (s.failure().is(ErrorNumber::RowGone)) {
            Prompter::current().message(staleText(s.failure(), Stale::Editing));
            if (Status r = m_rs.refreshCurrent(); !r)
                reportFailure(r.failure());
            showCurrentRow();
        } else {
            reportFailure(s.failure());
        }
        return;
    }
    showCurrentRow();
    setStatus(QStringLiteral("Edit record"));
    m_mode = Mode::Edit;
    SwitchMode(Mode::Edit);
    editStarted();
    focusField(m_firstField);
}

Status RecordBrowser::writePending()
{
    if (sessionEnded())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The session this screen was opened in has ended."));
    if (Status s = collectFields(); !s)
        return s;
    return m_rs.update();
}

void RecordBrowser::positionAfterSave(bool added)
{
    if (added)
        m_rs.moveLast();
}

void RecordBrowser::updateRecord()
{
    if (m_mode == Mode::Browse || refuseAfterSessionEnd())
        return;
    if (!checkBeforeSave())
        return;
    const bool added = m_mode == Mode::Add;
    if (Status s = writePending(); !s) {
        reportSaveFailure(s.failure());
        return;
    }
    positionAfterSave(added);
    m_mode = Mode::Browse;
    SwitchMode(Mode::Browse);
    showCurrentRow();
    focusAdd();
}

QString RecordBrowser::staleText(const Failure &failure, Stale when) const
{
    const bool gone = failure.is(ErrorNumber::RowGone);
    switch (when) {
    case Stale::Editing:
        return tr("Another workstation deleted this %1; it cannot be edited. The screen shows the next one.").arg(m_noun);
    case Stale::Saving:
        return gone ? tr("Another workstation deleted this %1 after you began to edit it, so your changes were not "
                         "saved. What you typed stays on the screen; Cancel leaves it and shows the next %1.")
                          .arg(m_noun)
                    : tr("Another workstation changed this %1 after you began to edit it, so your changes were not "
                         "saved. What you typed stays on the screen.")
                          .arg(m_noun);
    case Stale::Deleting:
        return gone ? tr("Another workstation deleted this %1 already.").arg(m_noun)
                    : tr("Another workstation changed this %1 since it was shown here, so it was not deleted. "
                         "The screen now shows it as it is stored.")
                          .arg(m_noun);
    }
    return failure.description;
}

void RecordBrowser::reportSaveFailure(const Failure &failure)
{
    if (failure.is(ErrorNumber::RowGone)) {
        Prompter::current().message(staleText(failure, Stale::Saving), Prompter::Icon::Warning);
        return;
    }
    if (!failure.is(ErrorNumber::RowChanged)) {
        reportUpdateFailure(failure);
        return;
    }
    const QString question = staleText(failure, Stale::Saving)
                             + tr("\n\nLoad the %1 as it is stored now? What you typed is then replaced.").arg(m_noun);
    if (Prompter::current().askYesNoDefaultNo(question, Prompter::Icon::Warning))
        reloadForEdit();
}

void RecordBrowser::reloadForEdit()
{
    if (Status s = m_rs.reloadPending(); !s) {
        if (s.failure().is(ErrorNumber::RowGone)) {
            // deleted meanwhile as well: nothing left to edit
            Prompter::current().message(staleText(s.failure(), Stale::Deleting));
            m_mode = Mode::Browse;
            SwitchMode(Mode::Browse);
            showCurrentRow();
            focusAdd();
        } else {
            reportFailure(s.failure());
        }
        return;
    }
    showCurrentRow();
    setStatus(QStringLiteral("Edit record"));
    editStarted();
    focusField(m_firstField);
}

bool RecordBrowser::checkBeforeSave()
{
    // Tab and Enter check a mandatory field only when it is left; a row may not be
    // written with one that was never visited either.
    if (const int empty = firstEmptyMandatoryField(); empty >= 0) {
        Prompter::current().beep();
        focusField(empty);
        showHeldField(empty);
        return false;
    }
    return true;
}

void RecordBrowser::cancelRecord()
{
    if (m_mode == Mode::Browse)
        return;
    const bool edited = m_mode == Mode::Edit;
    SwitchMode(Mode::Browse);
    m_mode = Mode::Browse;
    m_rs.cancelUpdate();
    if (edited) {
        // as it is stored now; a row another workstation deleted gives way to its neighbour
        // (Cancel passes over its own failures)
        std::ignore = m_rs.refreshCurrent();
    } else if (m_savedPosition >= 0 && m_savedPosition < m_rs.count()) {
        m_rs.moveTo(m_savedPosition);
    } else {
        m_rs.moveFirst();
    }
    showCurrentRow();
    focusAdd();
}

void RecordBrowser::deleteRecord()
{
    if (refuseAfterSessionEnd())
        return;
    if (!m_rs.isOpen() || m_mode != Mode::Browse)
        return;
    if (!m_rs.hasCurrent()) {
        Prompter::current().beep();
        return;
    }
    if (!Prompter::current().askYesNo(deleteQuestion(), Prompter::Icon::None, QStringLiteral("Delete")))
        return;
    if (Status s = m_rs.deleteCurrent([this] { return beforeDeleteRow(); }); !s) {
        if (s.failure().is(ErrorNumber::RowGone) || s.failure().is(ErrorNumber::RowChanged))
            Prompter::current().message(staleText(s.failure(), Stale::Deleting));
        else
            reportFailure(s.failure());
    }
    showCurrentRow();
}

void RecordBrowser::refreshRecords()
{
    if (refuseAfterSessionEnd())
        return;
    if (!m_rs.isOpen() || m_mode != Mode::Browse)
        return;
    WaitCursor wait;
    // The record shown stays, found again by its key, with what other workstations saved.
    if (Status s = m_rs.requery(true); !s)
        reportFailure(s.failure());
    showCurrentRow();
}

void RecordBrowser::closeScreen()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void RecordBrowser::moveFirst()
{
    if (m_mode != Mode::Browse || !m_rs.hasCurrent())
        return;
    m_rs.moveFirst();
    showCurrentRow();
}

void RecordBrowser::moveLast()
{
    if (m_mode != Mode::Browse || !m_rs.hasCurrent())
        return;
    m_rs.moveLast();
    showCurrentRow();
}

void RecordBrowser::moveNext()
{
    if (m_mode != Mode::Browse || !m_rs.hasCurrent())
        return;
    if (m_rs.position() < m_rs.count() - 1) {
        m_rs.moveTo(m_rs.position() + 1);
    } else {
        Prompter::current().beep();
        m_rs.moveLast();
    }
    showCurrentRow();
}

void RecordBrowser::movePrevious()
{
    if (m_mode != Mode::Browse || !m_rs.hasCurrent())
        return;
    if (m_rs.position() > 0) {
        m_rs.moveTo(m_rs.position() - 1);
    } else {
        Prompter::current().beep();
        m_rs.moveFirst();
    }
    showCurrentRow();
}

void RecordBrowser::searchRecords()
{
    if (refuseAfterSessionEnd())
        return;
    if (!m_rs.isOpen() || m_mode != Mode::Browse || m_search.column.isEmpty())
        return;
    const int column = m_rs.columnIndex(m_search.column);
    int searchPosition = m_rs.position();
    const std::optional<QString> text = Prompter::current().input(m_search.prompt);
    if (!text || text->isEmpty())
        return;
    // Matched in memory: the typed text is a plain prefix, whatever characters it holds.
    int found = m_rs.findPrefix(column, *text, 0);
    for (;;) {
        if (found < 0) {
            if (searchPosition >= 0)
                m_rs.moveTo(searchPosition);
            showCurrentRow();
            Prompter::current().message(m_search.notFound);
            return;
        }
        searchPosition = found;
        m_rs.moveTo(found);
        showCurrentRow();
        if (!Prompter::current().askYesNo(QStringLiteral("Search Next ?")))
            return;
        found = m_rs.findPrefix(column, *text, found + 1);
    }
}

void RecordBrowser::reportFailure(const Failure &failure)
{
    // A lost connection says which error it was, as the other messages with a number do.
    const bool lost = m_rs.isOpen() && m_rs.database().isConnectionLost(failure);
    Prompter::current().message(lost ? failure.numberAndText() : failure.description);
}

void RecordBrowser::reportUpdateFailure(const Failure &failure)
{
    reportFailure(failure);
}

bool RecordBrowser::unload()
{
    if (m_mode != Mode::Browse && sessionEnded()) {
        // nothing may be written for a user who has logged out
        m_rs.cancelUpdate();
        m_mode = Mode::Browse;
        return true;
    }
    if (m_mode != Mode::Browse) {
        // The close box, Logout and Exit close the screen in add and edit mode too; typed
        // work is not dropped unasked, and Cancel keeps the screen (and stops the Logout).
        const Prompter::Answer answer = Prompter::current().askYesNoCancel(
            QStringLiteral("Save the changes to this record ?"), Prompter::Icon::Question);
        if (answer == Prompter::Answer::Cancel)
            return false;
        if (answer == Prompter::Answer::Yes) {
            // the save holds every rule Update holds; a refusal keeps the screen with the reason
            if (!checkBeforeSave())
                return false;
            if (Status s = writePending(); !s) {
                reportSaveFailure(s.failure());
                return false;
            }
        }
        m_rs.cancelUpdate();
        m_mode = Mode::Browse;
    }
    return true;
}

// ---------------------------------------------------------------- keys, focus, events

bool RecordBrowser::acceptFieldLeave(int index)
{
    const QLineEdit *edit = txtFields(index);
    if (!edit || edit->isReadOnly())
        return true;
    // A date that is no date is refused where it is left, not first by the save.
    if (const int column = m_fields.value(index).columnIndex; column >= 0 && m_rs.isOpen()
        && m_rs.columnDef(column).type == ColumnType::Date && !edit->text().trimmed().isEmpty()) {
        if (auto value = FieldFormat::value(m_rs.columnDef(column), edit->text(), m_rs.database().dialect()); !value) {
            holdReason(fieldCaption(index) + QStringLiteral(": ") + value.failure().description);
            return false;
        }
    }
    if (!isFieldMandatory(index))
        return true;
    return !edit->text().trimmed().isEmpty();
}

void RecordBrowser::fieldTextChanged(int) {}

void RecordBrowser::moveFocus(bool forward)
{
    QWidget *from = focusWidget();
    // Going back to mend an earlier field is always allowed; the rules hold on the way forward.
    if (const int index = fieldIndexOf(from); forward && index >= 0 && m_mode != Mode::Browse) {
        m_holdReason.clear();
        if (!acceptFieldLeave(index)) {
            showHeldField(index);
            return;
        }
    }
    QWidget *start = from ? from : this;
    QWidget *w = start;
    for (int guard = 0; guard < 10000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == start)
            break;
        if (w != this && isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            clearHold();
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            // what is typed replaces the text there, in the boxes as in the single-line fields
            if (auto *edit = qobject_cast<QLineEdit *>(w))
                edit->selectAll();
            else if (auto *box = qobject_cast<QPlainTextEdit *>(w))
                box->selectAll();
            return;
        }
    }
}

bool RecordBrowser::isCommandKey(const QKeyEvent *event) const
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrlOnly = mods == Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_S:
        return ctrlOnly && m_mode != Mode::Browse;
    case Qt::Key_A:
        return ctrlOnly && m_mode == Mode::Browse;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return m_mode == Mode::Browse;
    default:
        return false;
    }
}

// While a record is being added or edited, an Alt key that no button of the screen
// answers would open a menu and take what is typed next: it does nothing instead.
bool RecordBrowser::altKeyWhileTyping(const QKeyEvent *event) const
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    return m_mode != Mode::Browse && mods == Qt::AltModifier && event->key() >= Qt::Key_0 && event->key() <= Qt::Key_Z;
}

// Alt pressed alone would put the menu bar in charge of the next letter typed.
bool RecordBrowser::altAloneWhileTyping(const QKeyEvent *event) const
{
    const auto mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::AltModifier);
    return m_mode != Mode::Browse && event->key() == Qt::Key_Alt && mods == Qt::NoModifier;
}

QAbstractButton *RecordBrowser::mnemonicButton(const QKeyEvent *event) const
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::AltModifier || event->key() < Qt::Key_0 || event->key() > Qt::Key_Z)
        return nullptr;
    const QKeySequence pressed(Qt::ALT | Qt::Key(event->key()));
    for (QAbstractButton *b : findChildren<QAbstractButton *>()) {
        if (b->isVisibleTo(this) && b->isEnabled() && !b->text().isEmpty()
            && QKeySequence::mnemonic(b->text()) == pressed)
            return b;
    }
    return nullptr;
}

bool RecordBrowser::handleKey(QKeyEvent *event)
{
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrlOnly = mods == Qt::ControlModifier;

    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        moveFocus(true);
        return true;
    }
    if (key == Qt::Key_Tab && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        moveFocus(!(mods & Qt::ShiftModifier));
        return true;
    }
    if (key == Qt::Key_Backtab) {
        moveFocus(false);
        return true;
    }
    if (m_mode != Mode::Browse) {
        if (key == Qt::Key_Escape) {
            cancelRecord();
            return true;
        }
        if (ctrlOnly && key == Qt::Key_S) {
            updateRecord();
            return true;
        }
        return false;
    }
    if (ctrlOnly && key == Qt::Key_A) {
        addRecord();
        return true;
    }
    switch (key) {
    case Qt::Key_Escape:
        closeScreen();
        return true;
    case Qt::Key_Home:
        moveFirst();
        return true;
    case Qt::Key_End:
        moveLast();
        return true;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        ctrlOnly ? moveFirst() : movePrevious();
        return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        ctrlOnly ? moveLast() : moveNext();
        return true;
    default:
        return false;
    }
}

// A character that would not fit is refused aloud, not dropped without a word.
bool RecordBrowser::fieldFull(QObject *watched, const QKeyEvent *event)
{
    const int index = fieldIndexOf(watched);
    QLineEdit *edit = index >= 0 ? txtFields(index) : nullptr;
    if (!edit || edit->isReadOnly() || m_mode == Mode::Browse || event->text().isEmpty() || !event->text().at(0).isPrint()
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const auto *rule = qobject_cast<const FieldValidator *>(edit->validator());
    const int limit = rule && rule->maxLength() > 0 ? rule->maxLength() : edit->maxLength();
    if (edit->text().size() - edit->selectedText().size() < limit)
        return false;
    Prompter::current().beep();
    showHold(tr("%1 takes at most %2 characters").arg(fieldCaption(index)).arg(limit));
    return true;
}

void RecordBrowser::refocusLater(QLineEdit *field)
{
    QPointer<QLineEdit> guard(field);
    QTimer::singleShot(0, this, [this, guard] {
        if (guard && m_mode != Mode::Browse && guard->isVisible())
            guard->setFocus(Qt::OtherFocusReason);
    });
}

bool RecordBrowser::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Whatever a member does with a key or a click, after the session it does nothing;
        // closing stays possible.
        if (sessionEnded() && watched != cmdExit && watched != cmdClose
            && !(event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)) {
            refuseAfterSessionEnd();
            return true;
        }
        break;
    default:
        break;
    }
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        // An open look-up list answers its own keys: Escape closes it, Enter chooses. The
        // list may have closed itself by the time the key reaches here.
        const auto *w = qobject_cast<const QWidget *>(watched);
        if (QApplication::activePopupWidget() || (w && w->window()->windowType() == Qt::Popup))
            return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        if (mnemonicButton(static_cast<QKeyEvent *>(event)) || altKeyWhileTyping(static_cast<QKeyEvent *>(event))
            || altAloneWhileTyping(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        if (isCommandKey(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (QAbstractButton *b = mnemonicButton(static_cast<QKeyEvent *>(event))) {
            // as the button's own mnemonic: through the focus, so a field's rule still holds
            const int from = fieldIndexOf(QApplication::focusWidget());
            if (from >= 0 && m_mode != Mode::Browse && b != cmdCancel) {
                m_holdReason.clear();
                if (!acceptFieldLeave(from)) {
                    showHeldField(from);
                    return true;
                }
            }
            if (b->focusPolicy() & Qt::TabFocus)
                b->setFocus(Qt::ShortcutFocusReason);
            b->click();
            return true;
        }
        if (altKeyWhileTyping(static_cast<QKeyEvent *>(event))) {
            Prompter::current().beep();
            return true;
        }
        if (handleKey(static_cast<QKeyEvent *>(event)))
            return true;
        if (fieldFull(watched, static_cast<QKeyEvent *>(event)))
            return true;
        break;
    case QEvent::FocusOut: {
        // Tab and Enter are refused before the focus moves; a click elsewhere brings it back.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        const int index = fieldIndexOf(watched);
        if (index >= 0 && m_mode != Mode::Browse
            && (reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason)
            && QApplication::focusWidget() != cmdCancel && !acceptFieldLeave(index)) {
            showHeldField(index);
            refocusLater(txtFields(index));
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void RecordBrowser::keyPressEvent(QKeyEvent *event)
{
    if (handleKey(event))
        return;
    QWidget::keyPressEvent(event);
}

void RecordBrowser::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_loaded)
        load();
}

void RecordBrowser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_loaded)
        focusAdd();
}

void RecordBrowser::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded) {
        if (!unload()) {
            event->ignore();
            return;
        }
        m_unloaded = true;
        m_rs.close();
    }
    event->accept();
}

} // namespace quarl
