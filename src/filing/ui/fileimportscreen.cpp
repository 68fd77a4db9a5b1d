#include "filing/ui/fileimportscreen.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarl {

FileImportScreen::FileImportScreen(const char *name, const QString &caption, const FileKind &kind, QWidget *parent)
    : InterchangeScreen(name, caption, parent), m_kind(kind)
{
    Text1 = makeLineEdit("Text1", 1024);
    m_browse = makeButton("Command1", kind.browseCaption);
}

void FileImportScreen::finishScreen(const std::function<void(QVBoxLayout *top)> &addOptions)
{
    auto *cmdImport = makeButton("cmdImport", QStringLiteral("&Import"));
    auto *cmdCancel = makeButton("cmdCancel", QStringLiteral("C&lose"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(Text1, 1);
    fileRow->addWidget(m_browse);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addLayout(fileRow);
    addOptions(top);
    top->addStretch(1);
    top->addLayout(buttons);
    setMinimumWidth(480);
    setFocusProxy(Text1);

    connect(m_browse, &QPushButton::clicked, this,
            [this] { browseFile(Text1, m_kind.browseTitle, m_kind.filter); });
    connect(cmdImport, &QPushButton::clicked, this, [this] {
        runImport(Text1, m_kind.missing,
                  [this](const QString &path, const igm::Progress &progress, const std::function<bool()> &cancelled,
                         const igm::Confirm &confirm) { return importFile(path, progress, cancelled, confirm); });
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    finishLoading();
}

} // namespace quarl
