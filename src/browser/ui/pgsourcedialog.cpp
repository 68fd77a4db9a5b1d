#include "browser/ui/pgsourcedialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quarl {

PgSourceDialog::PgSourceDialog(const PgParams &initial, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PgSourceDialog"));
    setWindowTitle(QStringLiteral("PostgreSQL Data Source"));
    auto *form = new QFormLayout;
    auto line = [&](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        e->setMinimumWidth(260);
        connect(e, &QLineEdit::textChanged, this, &PgSourceDialog::updateOk);
        return e;
    };
    m_host = line("txtHost", initial.host);
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("txtPort"));
    m_port->setRange(1, 65535);
    m_port->setValue(initial.port);
    m_database = line("txtDatabase", initial.database);
    m_user = line("txtUser", initial.user);
    m_password = line("txtPassword", initial.password);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Server"), m_host);
    form->addRow(QStringLiteral("P&ort"), m_port);
    form->addRow(QStringLiteral("&Database"), m_database);
    form->addRow(QStringLiteral("&User"), m_user);
    form->addRow(QStringLiteral("&Password"), m_password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("cmdOk"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    updateOk();
}

PgParams PgSourceDialog::params() const
{
    PgParams p;
    p.host = m_host->text().trimmed();
    p.port = m_port->value();
    p.database = m_database->text().trimmed();
    p.user = m_user->text().trimmed();
    p.password = m_password->text();
    return p;
}

void PgSourceDialog::updateOk()
{
    m_ok->setEnabled(!m_host->text().trimmed().isEmpty() && !m_database->text().trimmed().isEmpty()
                     && !m_user->text().trimmed().isEmpty());
}

} // namespace quarl
