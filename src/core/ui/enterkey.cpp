#include "core/ui/enterkey.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QWidget>

namespace quarl {

EnterMovesFocus::EnterMovesFocus(QObject *parent) : QObject(parent) {}

EnterMovesFocus *EnterMovesFocus::install(QWidget *screen)
{
    auto *filter = new EnterMovesFocus(screen);
    for (QWidget *w : screen->findChildren<QWidget *>())
        w->installEventFilter(filter);
    return filter;
}

bool EnterMovesFocus::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || qobject_cast<QTextEdit *>(w) || qobject_cast<QPlainTextEdit *>(w))
        return false;
    // The viewport of a multi-line field receives the keys of its field.
    if (w->parentWidget() && (qobject_cast<QTextEdit *>(w->parentWidget()) || qobject_cast<QPlainTextEdit *>(w->parentWidget())))
        return false;
    auto *button = qobject_cast<QAbstractButton *>(w);
    if (button && !qobject_cast<QCheckBox *>(w) && !qobject_cast<QRadioButton *>(w)) {
        button->click();
        return true;
    }
    // Exactly what Tab would do, wherever the focus chain leads.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &tab);
    return true;
}

} // namespace quarl
