#include "app/ui/qtprompter.h"

#include "appearance/ui/appearance.h"
#include "core/installation.h"
#include "core/settings.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

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

// A chooser's files without one of them.
class WithoutFile : public QSortFilterProxyModel
{
public:
    WithoutFile(const QString &path, QObject *parent)
        : QSortFilterProxyModel(parent), m_path(QFileInfo(path).absoluteFilePath())
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        return !files || QFileInfo(files->filePath(files->index(row, 0, parent))).absoluteFilePath() != m_path;
    }

private:
    QString m_path;
};

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

bool QtPrompter::askYesNoDefaultNo(const QString &text, Icon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return run(box) == QMessageBox::Yes;
}

void QtPrompter::messageWithList(const QString &text, const QStringList &lines, Icon icon, const QString &title)
{
    QDialog dialog(parentWindow());
    dialog.setWindowTitle(titleOr(title));
    auto *layout = new QVBoxLayout(&dialog);
    auto *head = new QHBoxLayout;
    const QMessageBox::Icon shown = boxIcon(icon);
    if (shown != QMessageBox::NoIcon) {
        QMessageBox probe(shown, QString(), QString());
        auto *picture = new QLabel(&dialog);
        picture->setPixmap(probe.iconPixmap());
        head->addWidget(picture, 0, Qt::AlignTop);
    }
    auto *label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    head->addWidget(label, 1);
    layout->addLayout(head);
    auto *list = new QPlainTextEdit(lines.join(QLatin1Char('\n')), &dialog);
    list->setObjectName(QStringLiteral("lstFindings"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth); // a long finding is read whole
    list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    list->setMinimumSize(640, 260);
    list->setVisible(!lines.isEmpty());
    layout->addWidget(list, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    run(dialog);
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
    if (filter.contains(QLatin1String(Installation::DataFileFilter)) && !Settings::sysPath().isEmpty()) {
        // the system database lies among the company files but is none of them
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setProxyModel(new WithoutFile(Settings::sysPath(), &dialog));
    }
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
