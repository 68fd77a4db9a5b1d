#pragma once

#include "filing/ui/voyagesendscreen.h"

namespace quarl {

// "Generate Flat-File": writes the voyage's IGM file into the program folder in the layout
// of the System Parameters, then copies it to the removable-media folder or mails it. "Check"
// writes it the same way and lists what the pre-filing check finds; a file with errors is
// handed on only when the user says so.
class frmVslRep : public VoyageSendScreen
{
    Q_OBJECT
public:
    explicit frmVslRep(QWidget *parent = nullptr);

protected:
    void opened() override;
    void generate() override;
    void email() override;

private:
    // The file written, or the empty text when the writer refused or failed (it was said).
    QString writeFile();
    void check();
    // Checks the file written; with errors, lists them and asks whether to go on anyway.
    bool handOnDespiteErrors(const QString &path);
};

} // namespace quarl
