#pragma once

#include <QValidator>

class QLineEdit;

namespace quarl {

// The typing rules of a record browser field: at most maxLength characters (a longer
// value read from the database is shown whole and may be shortened), and with digitsOnly
// only digits and "." may be typed or pasted in.
class FieldValidator : public QValidator
{
    Q_OBJECT
public:
    FieldValidator(QLineEdit *field, int maxLength, bool digitsOnly);

    State validate(QString &input, int &pos) const override;
    int maxLength() const { return m_maxLength; }
    bool digitsOnly() const { return m_digitsOnly; }

private:
    int m_maxLength;
    bool m_digitsOnly;
    QString m_previous; // the text before the change being validated
};

} // namespace quarl
