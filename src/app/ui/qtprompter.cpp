#include "app/ui/qtprompter.h"

#include "appearance/ui/appearance.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace quarl {

namespace {
QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information: return QMessageBox::Information;
    case Prompter::Icon::Warning: return QMessageBox::Warning;
    case Prompter::Icon::Critical: return QMessageBox::Critical;
    case Prompter::Icon::Question: return QMessageBox::Question;
    case Prompter::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QString titleOr(const QString &title)
{
    return title.isEmpty() ? Prompter::applicationTitle() : title;
}

// A dialog over a skinned window inherits the skin's style sheet but not its colours,
// which leaves dark text on the dark fields and buttons of a dark skin: so it takes the
// whole skin, as the screens do. Some dialogs make their buttons only when shown, and
// showing polishes them afresh, so the skin goes on when the dialog shows.
class SkinOnShow : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && currentSkin()) {
            watched->removeEventFilter(this);
            applySkin(static_cast<QWidget *>(watched));
        }
        return false;
    }
};

int run(QDialog &dialog)
{
    SkinOnShow skin;
    dialog.installEventFilter(&skin);
    return dialog.exec();
}
} // namespace

QWidget *QtPrompter::parentWindow()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w)
        w = QApplication::activeWindow();
    return w;
}

void QtPrompter::message(const QString &text, Icon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Ok, parentWindow());
    run(box);
}

bool QtPrompter::askYesNo(const QString &text, Icon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setDefaultButton(QMessageBox::Yes);
    return run(box) == QMessageBox::Yes;
}

Prompter::Answer QtPrompter::askYesNoCancel(const QString &text, Icon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parentWindow());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (run(box)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::optional<QString> QtPrompter::input(const QString &prompt, const QString &title, const QString &initial)
{
    QInputDialog dialog(parentWindow());
    dialog.setWindowTitle(titleOr(title));
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(initial);
    if (run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtPrompter::openFileName(const QString &title, const QString &filter, const QString &folder)
{
    QFileDialog dialog(parentWindow(), title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString QtPrompter::saveFileName(const QString &title, const QString &filter, const QString &folder)
{
    QFileDialog dialog(parentWindow(), title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return run(dialog) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString QtPrompter::folderName(const QString &title, const QString &folder)
{
    QFileDialog dialog(parentWindow(), title, folder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    return run(dialog) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void QtPrompter::beep()
{
    QApplication::beep();
}

} // namespace quarl
