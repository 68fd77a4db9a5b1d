#include "entry/ui/codecombo.h"

#include "store/database.h"

#include <QKeyEvent>

namespace quarl {

CodeCombo::CodeCombo(QWidget *parent) : LookupCombo(parent)
{
    setMaxVisibleItems(20);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_setting)
            Q_EMIT codeChosen(index >= 0 ? itemData(index).toString() : QString());
    });
}

Status CodeCombo::fill(const Database &db, const QString &table, const QString &codeColumn, const QString &descColumn)
{
    m_setting = true;
    clear();
    auto q = db.query(QStringLiteral("select %1, %2 from %3 order by %1").arg(codeColumn, descColumn, table));
    if (q) {
        while (q->next()) {
            const QString code = q->value(0).toString().trimmed();
            addItem(code + QStringLiteral("  ") + q->value(1).toString().trimmed(), code);
        }
    }
    setCurrentIndex(-1);
    m_setting = false;
    if (!q)
        return q.failure();
    return Status::ok();
}

QString CodeCombo::code() const
{
    return currentIndex() >= 0 ? currentData().toString() : QString();
}

void CodeCombo::setCode(const QString &code)
{
    m_setting = true;
    int index = code.isEmpty() ? -1 : findData(code);
    if (index < 0 && !code.isEmpty()) {
        addItem(code, code); // stored before the list knew it: shown, not lost
        index = count() - 1;
    }
    setCurrentIndex(index);
    m_setting = false;
}

void CodeCombo::keyPressEvent(QKeyEvent *event)
{
    if (!isLocked() && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)
        && event->modifiers() == Qt::NoModifier) {
        setCurrentIndex(-1);
        return;
    }
    LookupCombo::keyPressEvent(event);
}

} // namespace quarl
