#pragma once

#include "filing/ui/interchangescreen.h"

#include <QStringList>

class QHBoxLayout;

namespace quarl {

// The layout of the two file-sending screens: vessel code and voyage number, the four
// mail fields preset from the Email settings, "Generate on Floppy", "Email File", "Close".
class VoyageSendScreen : public InterchangeScreen
{
    Q_OBJECT
protected:
    VoyageSendScreen(const char *name, const QString &caption, QWidget *parent);

    QString vessel() const;
    QString voyage() const;
    // Mails the files with the addressing of the mail fields; shows what went wrong.
    bool mailFiles(const QStringList &files);
    // Copies the files to the removable-media folder of the settings, asking for one when
    // none is usable; says where they went or what went wrong.
    void copyToMedia(const QStringList &files);

    // Puts a command of the screen's own after "Email File" and the commands added before it.
    void addCommand(QPushButton *button);

    virtual void generate() = 0;
    virtual void email() = 0;

private:
    QHBoxLayout *m_commands = nullptr;
    QPushButton *m_lastCommand = nullptr;
};

} // namespace quarl
