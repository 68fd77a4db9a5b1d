#include "core/ui/capitals.h"

#include <QLineEdit>

namespace quarl {

void takeCapitals(QLineEdit *field)
{
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString &text) {
        const QString upper = text.toUpper();
        if (upper == text || upper.size() != text.size())
            return;
        const int cursor = field->cursorPosition();
        // the same length, so the field's own limits still hold
        const QValidator *validator = field->validator();
        field->setValidator(nullptr);
        field->setText(upper);
        field->setValidator(validator);
        field->setCursorPosition(cursor);
    });
}

} // namespace quarl
