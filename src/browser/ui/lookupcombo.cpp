#include "browser/ui/lookupcombo.h"

#include <QAbstractItemView>
#include <QApplication>
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
    const QString text = event->text();
    if (m_byCode && !isEditable() && mods == Qt::NoModifier && text.size() == 1 && text.at(0).isPrint()) {
        // a pause as long as the list view's own search allows starts a new search
        if (!m_lastKey.isValid() || m_lastKey.elapsed() > QApplication::keyboardInputInterval())
            m_typed.clear();
        m_lastKey.start();
        m_typed += text;
        const int found = typedEntry(m_typed);
        if (found >= 0 && found != currentIndex()) {
            setCurrentIndex(found);
            Q_EMIT activated(found);
        }
        event->accept();
        return;
    }
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

int LookupCombo::typedEntry(const QString &typed) const
{
    const int n = count();
    // one letter typed again and again goes through the names that begin with it, as the
    // name search always did
    const bool repeated = typed.size() > 1 && typed.count(typed.at(0)) == typed.size();
    if (repeated) {
        for (int k = 1; k <= n; ++k) {
            const int i = (currentIndex() + k) % n;
            if (itemText(i).startsWith(typed.at(0), Qt::CaseInsensitive))
                return i;
        }
    }
    for (int i = 0; i < n; ++i) {
        if (itemData(i).toString().trimmed().compare(typed, Qt::CaseInsensitive) == 0)
            return i;
    }
    for (int i = 0; i < n; ++i) {
        if (itemText(i).startsWith(typed, Qt::CaseInsensitive))
            return i;
    }
    for (int i = 0; i < n; ++i) {
        if (itemData(i).toString().trimmed().startsWith(typed, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

void LookupCombo::focusInEvent(QFocusEvent *event)
{
    m_typed.clear(); // a search begins where the list is entered, not in the list before it
    QComboBox::focusInEvent(event);
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
