#include "igm/ui/frmimportigm.h"

#include "core/installation.h"
#include "core/prompter.h"
#include "core/ui/screenregistry.h"
#include "igm/igmreader.h"
#include "igm/outcome.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

frmImportIGM::frmImportIGM(QWidget *parent) : InterchangeScreen("frmImportIGM", QStringLiteral("Import Igm File"), parent)
{
    Text1 = makeLineEdit("Text1", 1024);
    auto *Command1 = makeButton("Command1", QStringLiteral("&Browse Cargo File"));
    chkStrip = new QCheckBox(QStringLiteral("With &Striping"), this);
    chkStrip->setObjectName(QStringLiteral("chkStrip"));
    chkVessel = new QCheckBox(QStringLiteral("WIth &Vessel Information"), this);
    chkVessel->setObjectName(QStringLiteral("chkVessel"));
    auto *cmdImport = makeButton("cmdImport", QStringLiteral("&Import"));
    auto *cmdCancel = makeButton("cmdCancel", QStringLiteral("C&lose"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(Text1, 1);
    fileRow->addWidget(Command1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addLayout(fileRow);
    top->addWidget(chkStrip);
    top->addWidget(chkVessel);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(480);
    setFocusProxy(Text1);

    connect(Command1, &QPushButton::clicked, this, &frmImportIGM::browse);
    connect(cmdImport, &QPushButton::clicked, this, &frmImportIGM::import);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

void frmImportIGM::browse()
{
    const QString current = trimmedRight(Text1->text());
    const QString folder = current.isEmpty() ? Installation::folder() : QFileInfo(current).absolutePath();
    const QString chosen = Prompter::current().openFileName(QStringLiteral("Select IGM File Name"),
                                                            QStringLiteral("IGM files (*.igm)"), folder);
    if (!chosen.isEmpty())
        Text1->setText(QDir::toNativeSeparators(chosen));
}

void frmImportIGM::import()
{
    const QString path = trimmedRight(Text1->text());
    if (path.isEmpty()) {
        Prompter::current().message(QStringLiteral("Select the IGM file to import (Browse Cargo File)."));
        Text1->setFocus();
        return;
    }
    igm::IgmImportOptions options;
    options.withVessel = chkVessel->isChecked();
    options.strip = chkStrip->isChecked();
    QDir().mkpath(Installation::folder());

    // Shown only when the import takes more than a moment.
    QPointer<QProgressDialog> progress;
    auto dialog = [&]() {
        if (!progress) {
            progress = new QProgressDialog(QStringLiteral("Importing %1 ...").arg(QFileInfo(path).fileName()),
                                           QStringLiteral("Cancel"), 0, 1000, this);
            progress->setObjectName(QStringLiteral("dlgProgress"));
            progress->setWindowTitle(Prompter::applicationTitle());
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(700);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            progress->setValue(0);
        }
        return progress.data();
    };
    options.progress = [&](qint64 done, qint64 total) {
        dialog()->setValue(total > 0 ? int(done * 1000 / total) : 0);
        // Repaints and the dialog's timer; typing into the screen waits for the end.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    options.cancelled = [&]() { return progress && progress->wasCanceled(); };
    igm::IgmImportResult r = igm::ImportIgmFile(database(), path, options, [](const QString &question) {
        return Prompter::current().askYesNo(question, Prompter::Icon::Question);
    });
    delete progress.data();
    if (r.outcome.kind == igm::Outcome::Kind::Failed && !r.vessel.isEmpty()) {
        // a line the company holds already: named, instead of the database's words
        if (const auto taken = igm::blNumberTakenInFile(database(), path, r.vessel, r.voyage))
            r.outcome.message = taken->description + QStringLiteral(": the voyage is in this company already, and "
                                                                    "nothing of the file was stored.");
    }
    showOutcome(r.outcome);
}

QUARL_REGISTER_SCREEN(frmImportIGM)

} // namespace quarl
