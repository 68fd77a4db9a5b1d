#include "filing/ui/voyagesendscreen.h"

#include "core/prompter.h"
#include "core/settings.h"
#include "filing/mediacopy.h"
#include "reports/mailhandoff.h"

#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

VoyageSendScreen::VoyageSendScreen(const char *name, const QString &caption, QWidget *parent)
    : InterchangeScreen(name, caption, parent)
{
    QLineEdit *vesselCode = makeField(4, 10);
    QLineEdit *voyageNo = makeField(5, 10);
    QLineEdit *to = makeField(0);
    QLineEdit *cc = makeField(1);
    QLineEdit *subject = makeField(2);
    QLineEdit *message = makeField(3);
    auto *cmdPreview = makeButton("cmdPreview", QStringLiteral("&Generate on Floppy"));
    auto *cmdEmail = makeButton("cmdEmail", QStringLiteral("&Email File"));
    auto *cmdExit = makeButton("cmdExit", QStringLiteral("C&lose"));
    vesselCode->setMaximumWidth(120);
    voyageNo->setMaximumWidth(120);

    auto *grid = new QGridLayout;
    int row = 0;
    auto add = [&](const QString &label, QWidget *w) {
        auto *l = new QLabel(label, this);
        l->setBuddy(w);
        grid->addWidget(l, row, 0);
        grid->addWidget(w, row, 1);
        ++row;
    };
    add(QStringLiteral("Vessel Code"), vesselCode);
    add(QStringLiteral("Voy No."), voyageNo);
    add(QStringLiteral("Email Addresses"), to);
    add(QStringLiteral("CC To."), cc);
    add(QStringLiteral("Subject"), subject);
    add(QStringLiteral("Message"), message);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    m_commands = buttons;
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdEmail);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    auto *top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(460);

    setTabOrder(vesselCode, voyageNo);
    setTabOrder(voyageNo, to);
    setTabOrder(to, cc);
    setTabOrder(cc, subject);
    setTabOrder(subject, message);
    setTabOrder(message, cmdPreview);
    setTabOrder(cmdPreview, cmdEmail);
    setTabOrder(cmdEmail, cmdExit);
    setFocusProxy(vesselCode);

    to->setText(Settings::mailTo());
    cc->setText(Settings::mailCc());
    subject->setText(Settings::mailSubject());
    message->setText(Settings::mailMessage());

    connect(cmdPreview, &QPushButton::clicked, this, [this] { generate(); });
    connect(cmdEmail, &QPushButton::clicked, this, [this] { email(); });
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

void VoyageSendScreen::copyToMedia(const QStringList &files)
{
    QStringList copies;
    for (const QString &file : files) {
        // the first copy asks for the folder when none is set; the others go to the same one
        const igm::MediaCopy copy = igm::copyToRemovableMedia(file, [](const QString &why) {
            if (!why.isEmpty())
                Prompter::current().message(why, Prompter::Icon::Warning);
            const QString start = Settings::removableMediaFolder();
            return Prompter::current().folderName(QStringLiteral("Select Removable Media Folder"),
                                                  start.isEmpty() ? QStringLiteral("/media") : start);
        });
        if (copy.kind == igm::MediaCopy::Kind::Cancelled)
            return;
        if (copy.kind == igm::MediaCopy::Kind::Failed) {
            Prompter::current().message(copy.failure.numberAndText(), Prompter::Icon::Critical);
            return;
        }
        copies << QDir::toNativeSeparators(copy.path);
    }
    Prompter::current().message(copies.size() == 1 ? QStringLiteral("The file is copied to %1.").arg(copies.first())
                                                    : QStringLiteral("The files are copied to %1.")
                                                          .arg(copies.join(QStringLiteral(" and "))),
                                Prompter::Icon::Information);
}

void VoyageSendScreen::addCommand(QPushButton *button)
{
    QPushButton *before = m_lastCommand ? m_lastCommand : findChild<QPushButton *>(QStringLiteral("cmdEmail"));
    m_commands->insertWidget(m_commands->indexOf(before) + 1, button);
    setTabOrder(before, button);
    setTabOrder(button, findChild<QPushButton *>(QStringLiteral("cmdExit")));
    m_lastCommand = button;
}

QString VoyageSendScreen::vessel() const
{
    return txtFields(4)->text();
}

QString VoyageSendScreen::voyage() const
{
    return txtFields(5)->text();
}

bool VoyageSendScreen::mailFiles(const QStringList &files)
{
    reports::MailMessage m;
    m.to = reports::splitAddresses(txtFields(0)->text());
    m.cc = reports::splitAddresses(txtFields(1)->text());
    m.subject = txtFields(2)->text();
    m.body = txtFields(3)->text();
    m.attachments = files;
    if (m.subject.trimmed().isEmpty()
        && !Prompter::current().askYesNoDefaultNo(QLatin1String(reports::NoSubjectQuestion), Prompter::Icon::Question))
        return false;
    const bool smtp = reports::smtpConfigured();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const Status sent = reports::sendMail(m);
    QGuiApplication::restoreOverrideCursor();
    if (!sent) {
        Prompter::current().message(sent.failure().numberAndText(), Prompter::Icon::Critical);
        return false;
    }
    if (smtp)
        Prompter::current().message(reports::mailSentText(m), Prompter::Icon::Information);
    return true;
}

} // namespace quarl
