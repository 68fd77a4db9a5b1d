#pragma once

#include "browser/ui/lookupcombo.h"
#include "core/failure.h"

namespace quarl {

class Database;

// A look-up list over a code list ("IM  Import"), for fields that may stay empty: it
// stores the code, shows the code with its description, says in grey what an empty choice
// stands for, and Delete or Backspace empties it.
class CodeCombo : public LookupCombo
{
    Q_OBJECT

public:
    explicit CodeCombo(QWidget *parent = nullptr);

    // The rows of table (code column, description column) in code order.
    Status fill(const Database &db, const QString &table, const QString &codeColumn, const QString &descColumn);
    QString code() const;
    // Shows the code without telling codeChosen; a code the list lacks is shown as it is.
    void setCode(const QString &code);

Q_SIGNALS:
    // The user chose another code (empty when emptied).
    void codeChosen(const QString &code);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_setting = false;
};

} // namespace quarl
