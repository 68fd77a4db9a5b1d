#include "browser/ui/pgsourcedialog.h"

#include "core/prompter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QFormLayout>
#include <QLabel>
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
    m_encrypted = new QCheckBox(QStringLiteral("Require an &encrypted connection"), this);
    m_encrypted->setObjectName(QStringLiteral("chkEncrypted"));
    const QString mode = initial.sslMode;
    m_encrypted->setChecked(mode == QLatin1String("require") || mode.startsWith(QLatin1String("verify")));
    if (mode == QLatin1String("verify-ca"))
        m_otherMode = mode;
    m_caFile = line("txtCaFile", initial.sslRootCert);
    m_browse = new QPushButton(QStringLiteral("Bro&wse..."), this);
    m_browse->setObjectName(QStringLiteral("cmdBrowseCa"));
    m_browse->setAutoDefault(false);
    connect(m_browse, &QPushButton::clicked, this, &PgSourceDialog::chooseCaFile);
    connect(m_encrypted, &QCheckBox::toggled, this, &PgSourceDialog::updateOk);
    auto *caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(m_browse);
    form->addRow(QString(), m_encrypted);
    // a row of two has no buddy of its own: Alt+C reaches the file's field
    auto *caLabel = new QLabel(QStringLiteral("Office's &CA certificate"), this);
    caLabel->setBuddy(m_caFile);
    form->addRow(caLabel, caRow);
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
    if (m_encrypted->isChecked()) {
        const QString ca = m_caFile->text().trimmed();
        if (!ca.isEmpty())
            p.sslRootCert = QFileInfo(ca).absoluteFilePath();
        p.sslMode = !m_otherMode.isEmpty() ? m_otherMode
                    : ca.isEmpty()         ? QStringLiteral("require")
                                           : QStringLiteral("verify-full");
    }
    return p;
}

void PgSourceDialog::updateOk()
{
    m_caFile->setEnabled(m_encrypted->isChecked());
    m_browse->setEnabled(m_encrypted->isChecked());
    m_ok->setEnabled(!m_host->text().trimmed().isEmpty() && !m_database->text().trimmed().isEmpty()
                     && !m_user->text().trimmed().isEmpty());
}

void PgSourceDialog::chooseCaFile()
{
    const QString file = Prompter::current().openFileName(QStringLiteral("Office's CA certificate"),
                                                          QStringLiteral("Certificates (*.crt *.pem);;All files (*)"),
                                                          QFileInfo(m_caFile->text().trimmed()).absolutePath());
    if (!file.isEmpty())
        m_caFile->setText(file);
    m_caFile->setFocus(Qt::OtherFocusReason);
}

} // namespace quarl
