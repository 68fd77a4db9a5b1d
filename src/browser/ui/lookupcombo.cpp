#include "browser/ui/lookupcombo.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace quarl {

LookupCombo::LookupCombo(QWidget *parent) : QComboBox(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void LookupCombo::showPopup()
{
    if (!m_locked)
        QComboBox::showPopup();
}

void LookupCombo::keyPressEvent(QKeyEvent *event)
{
    if (m_locked) {
        event->ignore();
        return;
    }
    const auto mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (event->key() == Qt::Key_Space && mods == Qt::NoModifier && !isEditable()) {
        // the same search the letters run, carried on with the blank
        QAbstractItemView *list = view();
        list->setCurrentIndex(model()->index(currentIndex(), modelColumn(), rootModelIndex()));
        const int before = list->currentIndex().row();
        list->keyboardSearch(event->text());
        const int found = list->currentIndex().row();
        if (found >= 0 && found != before) {
            setCurrentIndex(found);
            Q_EMIT activated(found);
        }
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void LookupCombo::wheelEvent(QWheelEvent *event)
{
    if (!m_locked)
        QComboBox::wheelEvent(event);
}

void LookupCombo::mousePressEvent(QMouseEvent *event)
{
    if (m_locked)
        setFocus(Qt::MouseFocusReason);
    else
        QComboBox::mousePressEvent(event);
}

} // namespace quarl
