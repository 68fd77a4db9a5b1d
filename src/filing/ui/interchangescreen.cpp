#include "filing/ui/interchangescreen.h"

#include "appearance/ui/appearance.h"
#include "core/prompter.h"
#include "core/safefile.h"
#include "core/ui/capitals.h"
#include "core/ui/enterkey.h"
#include "manifest/outcome.h"
#include "store/session.h"

#include "core/installation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressDialog>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

namespace quarl {

InterchangeScreen::InterchangeScreen(const char *name, const QString &caption, QWidget *parent) : QWidget(parent)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
}

QLineEdit *InterchangeScreen::txtFields(int index) const
{
    return findChild<QLineEdit *>(QStringLiteral("txtFields(%1)").arg(index));
}

QLineEdit *InterchangeScreen::makeField(int index, int maxLength)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QStringLiteral("txtFields(%1)").arg(index));
    e->setMaxLength(maxLength);
    if (index == 4 || index == 5)
        takeCapitals(e); // vessel code and voyage number, on every screen that asks for them
    return e;
}

QLineEdit *InterchangeScreen::makeLineEdit(const char *name, int maxLength)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    return e;
}

QPushButton *InterchangeScreen::makeButton(const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

void InterchangeScreen::finishLoading()
{
    EnterMovesFocus::install(this);
    OvertypeTyping::install(this);
    applyAppearance(this);
}

Database InterchangeScreen::database()
{
    return Session::current().connection;
}

bool InterchangeScreen::showOutcome(const igm::Outcome &outcome)
{
    Prompter &p = Prompter::current();
    for (const QString &n : outcome.notices)
        p.message(n);
    if (outcome.kind == igm::Outcome::Kind::Declined)
        return false;
    if (!outcome.message.isEmpty())
        p.message(outcome.message,
                  outcome.kind == igm::Outcome::Kind::Failed ? Prompter::Icon::Critical : Prompter::Icon::None);
    return outcome.isOk();
}

QString InterchangeScreen::trimmedRight(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).isSpace())
        --n;
    return text.left(n);
}

void InterchangeScreen::browseFile(QLineEdit *target, const QString &title, const QString &filter, const QString &near)
{
    QString from = trimmedRight(target->text());
    if (from.isEmpty())
        from = trimmedRight(near);
    const QString folder = from.isEmpty() ? Installation::folder() : QFileInfo(from).absolutePath();
    const QString chosen = Prompter::current().openFileName(title, filter, folder);
    if (!chosen.isEmpty())
        target->setText(QDir::toNativeSeparators(chosen));
}

bool InterchangeScreen::runImport(QLineEdit *file, const QString &fileMissing, const ImportRun &run)
{
    const QString path = trimmedRight(file->text());
    if (path.isEmpty()) {
        Prompter::current().message(fileMissing);
        file->setFocus();
        return false;
    }
    std::ignore = FileRights::makeFolder(Installation::folder()); // the import says when it cannot write there
    // Shown only when the import takes more than a moment.
    QPointer<QProgressDialog> progress;
    auto dialog = [&]() {
        if (!progress) {
            progress = new QProgressDialog(QStringLiteral("Importing %1 ...").arg(QFileInfo(path).fileName()),
                                           QStringLiteral("Cancel"), 0, 1000, this);
            progress->setObjectName(QStringLiteral("dlgProgress"));
            progress->setWindowTitle(Prompter::applicationTitle());
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(700);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            progress->setValue(0);
        }
        return progress.data();
    };
    const igm::Progress shown = [&](qint64 done, qint64 total) {
        dialog()->setValue(total > 0 ? int(done * 1000 / total) : 0);
        // Repaints and the dialog's timer; typing into the screen waits for the end.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    const std::function<bool()> cancelled = [&]() { return progress && progress->wasCanceled(); };
    const igm::Confirm ask = [](const QString &question) {
        return Prompter::current().askYesNo(question, Prompter::Icon::Question);
    };
    const igm::Outcome outcome = run(path, shown, cancelled, ask);
    delete progress.data();
    return showOutcome(outcome);
}

void InterchangeScreen::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->move(0, 0);
    opened();
}

void InterchangeScreen::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OvertypeTyping::install(QWidget *screen)
{
    auto *filter = new OvertypeTyping(screen);
    for (QLineEdit *e : screen->findChildren<QLineEdit *>())
        e->installEventFilter(filter);
}

bool OvertypeTyping::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *edit = qobject_cast<QLineEdit *>(watched);
    auto *key = static_cast<QKeyEvent *>(event);
    // Only keys that type a character; arrows, Delete and Backspace keep their meaning.
    const QString text = key->text();
    if (!edit || edit->isReadOnly() || text.isEmpty() || !text.at(0).isPrint()
        || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (!edit->hasSelectedText() && edit->cursorPosition() < edit->text().size())
        edit->setSelection(edit->cursorPosition(), 1);
    return false;
}

} // namespace quarl
