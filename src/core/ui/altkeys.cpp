#include "core/ui/altkeys.h"

#include "core/prompter.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace quarl {

ScreenAltKeys::ScreenAltKeys(QMdiArea *area) : QObject(area), m_area(area) {}

ScreenAltKeys *ScreenAltKeys::install(QMdiArea *area)
{
    auto *guard = new ScreenAltKeys(area);
    qApp->installEventFilter(guard);
    return guard;
}

QWidget *ScreenAltKeys::mnemonicTarget(QWidget *screen, const QKeyEvent *event)
{
    const QKeySequence pressed(Qt::ALT | Qt::Key(event->key()));
    for (QAbstractButton *b : screen->findChildren<QAbstractButton *>()) {
        if (b->isVisible() && b->isEnabled() && b->window() == screen->window()
            && QKeySequence::mnemonic(b->text()) == pressed)
            return b;
    }
    for (QLabel *l : screen->findChildren<QLabel *>()) {
        QWidget *buddy = l->buddy();
        if (buddy && l->isVisible() && buddy->isVisible() && buddy->isEnabled() && l->window() == screen->window()
            && QKeySequence::mnemonic(l->text()) == pressed)
            return buddy;
    }
    return nullptr;
}

bool ScreenAltKeys::takesTyping(const QWidget *widget)
{
    if (const auto *e = qobject_cast<const QLineEdit *>(widget))
        return !e->isReadOnly();
    if (const auto *t = qobject_cast<const QTextEdit *>(widget))
        return !t->isReadOnly();
    if (const auto *p = qobject_cast<const QPlainTextEdit *>(widget))
        return !p->isReadOnly();
    if (const auto *s = qobject_cast<const QAbstractSpinBox *>(widget))
        return !s->isReadOnly();
    return qobject_cast<const QComboBox *>(widget) != nullptr;
}

// The screen of the work area that holds the widget: the widget of its frame.
QWidget *ScreenAltKeys::screenOf(QWidget *widget) const
{
    for (QWidget *w = widget; w && !w->isWindow(); w = w->parentWidget()) { // not a dialog of a screen
        if (auto *frame = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            return frame->mdiArea() == m_area && frame->widget() == w ? w : nullptr;
    }
    return nullptr;
}

bool ScreenAltKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    // once, at the focus widget, before it or any shortcut sees the key
    QWidget *focus = QApplication::focusWidget();
    if (!focus || watched != focus || !m_area)
        return false;
    QWidget *screen = screenOf(focus);
    if (!screen)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    const bool typing = takesTyping(focus);

    if (key->key() == Qt::Key_Alt) {
        if (type == QEvent::ShortcutOverride && typing && (mods & ~Qt::AltModifier) == Qt::NoModifier) {
            event->accept(); // the menu bar never hears of it
            return true;
        }
        return false;
    }
    if (mods != Qt::AltModifier || key->key() < Qt::Key_0 || key->key() > Qt::Key_Z
        || screen->property(AnswersOwnAltKeys).toBool())
        return false;
    QWidget *target = mnemonicTarget(screen, key);
    if (!target && !typing)
        return false;
    if (type == QEvent::ShortcutOverride) {
        event->accept(); // no shortcut: the key press comes back here
        return true;
    }
    if (!target) {
        Prompter::current().beep();
        return true;
    }
    if (auto *button = qobject_cast<QAbstractButton *>(target)) {
        if (button->focusPolicy() & Qt::TabFocus)
            button->setFocus(Qt::ShortcutFocusReason);
        button->click();
    } else {
        target->setFocus(Qt::ShortcutFocusReason);
    }
    return true;
}

} // namespace quarl
