#pragma once

#include "filing/ui/interchangescreen.h"

#include <functional>

class QVBoxLayout;

namespace quarl {

// What the two file import screens (IGM and SAM) share: the file's name with its Browse
// button, the screen's own options below it, Import and Close; the import itself runs as
// runImport() does it.
class FileImportScreen : public InterchangeScreen
{
    Q_OBJECT
protected:
    struct FileKind
    {
        QString browseCaption; // "&Browse Cargo File"
        QString browseTitle;   // of the file dialog
        QString filter;
        QString missing; // said when Import is pressed without a file
    };
    // Makes the file field and Browse; the screen makes its options, then calls finishScreen().
    FileImportScreen(const char *name, const QString &caption, const FileKind &kind, QWidget *parent);
    // Ends the constructor: the options laid out by addOptions between the file and the
    // commands, then Import and Close.
    void finishScreen(const std::function<void(QVBoxLayout *top)> &addOptions);

    // The import of the file named; its outcome is shown.
    virtual igm::Outcome importFile(const QString &path, const igm::Progress &progress,
                                    const std::function<bool()> &cancelled, const igm::Confirm &confirm) = 0;

    QLineEdit *Text1;

private:
    FileKind m_kind;
    QPushButton *m_browse;
};

} // namespace quarl
