#include "browser/ui/fieldvalidator.h"

#include "browser/fieldformat.h"

#include <QLineEdit>

namespace quarl {

FieldValidator::FieldValidator(QLineEdit *field, int maxLength, bool digitsOnly)
    : QValidator(field), m_maxLength(maxLength), m_digitsOnly(digitsOnly), m_previous(field->text())
{
    // The line edit holds the new text already while it asks; remember the last accepted one.
    connect(field, &QLineEdit::textChanged, this, [this](const QString &text) { m_previous = text; });
}

QValidator::State FieldValidator::validate(QString &input, int &) const
{
    if (m_maxLength > 0 && input.size() > m_maxLength && input.size() > m_previous.size())
        return Invalid;
    if (!m_digitsOnly)
        return Acceptable;
    // Only the inserted characters count, so a value read from the database stays editable.
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(input.size(), m_previous.size());
    while (prefix < shorter && input.at(prefix) == m_previous.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix
           && input.at(input.size() - 1 - suffix) == m_previous.at(m_previous.size() - 1 - suffix))
        ++suffix;
    const QStringView inserted = QStringView(input).mid(prefix, input.size() - prefix - suffix);
    for (const QChar c : inserted) {
        if (!FieldFormat::isDigitsChar(c))
            return Invalid;
    }
    return Acceptable;
}

} // namespace quarl
