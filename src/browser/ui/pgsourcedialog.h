#pragma once

#include "store/database.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quarl {

// Asks where a company database on a PostgreSQL server lies: host, port, database, user
// and password (shown as dots), and whether the connection must be encrypted, with the
// office's CA certificate that the server's must be signed by (then sslmode verify-full;
// encrypted without a CA file: require).
class PgSourceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PgSourceDialog(const PgParams &initial, QWidget *parent = nullptr);
    PgParams params() const;

private:
    void updateOk();
    void chooseCaFile();

    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_database = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_encrypted = nullptr;
    QLineEdit *m_caFile = nullptr;
    QPushButton *m_browse = nullptr;
    QString m_otherMode; // a mode the dialog does not offer (verify-ca), kept as it was
    QPushButton *m_ok = nullptr;
};

} // namespace quarl
