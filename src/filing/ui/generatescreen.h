#pragma once

#include "core/prompter.h"
#include "filing/ui/voyagesendscreen.h"

namespace quarl {

// What the two Generate screens (flat file and SAM) share: the advice when the gateway
// settings are missing, a "Check" command, and the hand-on of the one file written: copied
// to the removable media after a question, or mailed.
class GenerateScreen : public VoyageSendScreen
{
    Q_OBJECT
public:
    // "1 line", "3 lines".
    static QString counted(qint64 n, const char *one);
    static Prompter::Icon iconFor(int errors, int warnings);

protected:
    GenerateScreen(const char *name, const QString &caption, const QString &checkTip, QWidget *parent);

    void opened() override;
    void generate() final;
    void email() final;

    // The file written, or the empty text when none was (it was said).
    virtual QString writeFile() = 0;
    // Whether the file written may be handed on; the flat file asks when its check finds errors.
    virtual bool mayHandOn(const QString &path);
    virtual void check() = 0;
};

} // namespace quarl
