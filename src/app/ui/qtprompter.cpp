#include "app/ui/qtprompter.h"

#include <QApplication>
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
    box.exec();
}

bool QtPrompter::askYesNo(const QString &text, Icon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompter::input(const QString &prompt, const QString &title, const QString &initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parentWindow(), titleOr(title), prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtPrompter::openFileName(const QString &title, const QString &filter, const QString &folder)
{
    return QFileDialog::getOpenFileName(parentWindow(), title, folder, filter);
}

QString QtPrompter::saveFileName(const QString &title, const QString &filter, const QString &folder)
{
    return QFileDialog::getSaveFileName(parentWindow(), title, folder, filter);
}

QString QtPrompter::folderName(const QString &title, const QString &folder)
{
    return QFileDialog::getExistingDirectory(parentWindow(), title, folder);
}

void QtPrompter::beep()
{
    QApplication::beep();
}

} // namespace quarl
