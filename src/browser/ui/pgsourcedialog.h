#pragma once

#include "store/database.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quarl {

// Asks where a company database on a PostgreSQL server lies: host, port, database, user
// and password (shown as dots).
class PgSourceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PgSourceDialog(const PgParams &initial, QWidget *parent = nullptr);
    PgParams params() const;

private:
    void updateOk();

    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_database = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace quarl
