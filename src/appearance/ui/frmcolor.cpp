#include "appearance/ui/frmcolor.h"

#include "appearance/skin.h"
#include "appearance/ui/appearance.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/enterkey.h"
#include "core/ui/screenregistry.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <tuple>

namespace quarl {

frmColor::frmColor(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmColor"));
    setWindowTitle(QStringLiteral("Colour Options"));

    lblHeading = new QLabel(QStringLiteral("Colour Setup"), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    QFont big = lblHeading->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    lblHeading->setFont(big);

    Text1 = new QLineEdit(Settings::skinPath(), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMinimumWidth(360);
    Command1 = new QPushButton(QStringLiteral("Load Skin"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    lblPreview = new QLabel(this);
    lblPreview->setObjectName(QStringLiteral("lblPreview"));
    lblPreview->setMinimumHeight(48);
    lblPreview->setAlignment(Qt::AlignCenter);
    lblPreview->setWordWrap(true);
    lblPreview->setFrameShape(QFrame::StyledPanel);

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(Text1, 1);
    pathRow->addWidget(Command1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto *top = new QVBoxLayout(this);
    top->addWidget(lblHeading);
    top->addWidget(new QLabel(QStringLiteral("Skin file"), this));
    top->addLayout(pathRow);
    top->addWidget(lblPreview);
    top->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &frmColor::Command1_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmColor::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmColor::cmdCancel_Click);
    connect(Text1, &QLineEdit::editingFinished, this, &frmColor::showPreview);

    // The shipped skins stand in the installation for the chooser to list.
    // A folder that cannot be written leaves the chooser with the skins already there.
    std::ignore = Skins::installShipped(Skins::folder());
    EnterMovesFocus::install(this);
    showPreview();
}

void frmColor::showPreview()
{
    // Its own style sheet, so that the skin on this screen does not recolour the sample.
    const QString path = Text1->text().trimmed();
    QString sheet;
    if (path.isEmpty()) {
        lblPreview->setText(QStringLiteral("No skin: the program's own look."));
    } else if (auto skin = Skins::readFile(path)) {
        sheet = QStringLiteral("QLabel { color: %1; background-color: %2; }")
                    .arg(skin->textColor.name(), skin->backgroundColor.name());
        lblPreview->setText(QStringLiteral("%1: text and background of every screen").arg(skin->name));
    } else {
        lblPreview->setText(skin.failure().description);
    }
    lblPreview->setStyleSheet(sheet);
}

void frmColor::Command1_Click()
{
    QString folder = Skins::folder();
    const QFileInfo current(Text1->text().trimmed());
    if (!Text1->text().trimmed().isEmpty() && current.absoluteDir().exists())
        folder = current.absolutePath();
    const QString chosen = Prompter::current().openFileName(QStringLiteral("Select Skin File Name"),
                                                            QLatin1String(Skins::FileFilter), folder);
    if (chosen.isEmpty())
        return;
    Text1->setText(chosen);
    showPreview();
}

void frmColor::cmdSave_Click()
{
    const QString path = Text1->text().trimmed();
    // A skin that cannot be read is not stored: the look and the setting stay as they were.
    if (!path.isEmpty()) {
        if (auto skin = Skins::readFile(path); !skin) {
            Prompter::current().message(skin.failure().numberAndText(), Prompter::Icon::Warning);
            Text1->setFocus();
            return;
        }
    }
    if (!Settings::setSkinPath(path)) {
        Prompter::current().message(QStringLiteral("The skin could not be stored in the settings file."),
                                    Prompter::Icon::Warning);
        return;
    }
    if (Status s = loadSkin(path); !s)
        Prompter::current().message(s.failure().numberAndText(), Prompter::Icon::Warning);
    reapplyAppearance();
    close();
}

void frmColor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmColor::cmdCancel_Click()
{
    close();
}

QUARL_REGISTER_SCREEN(frmColor)

} // namespace quarl
