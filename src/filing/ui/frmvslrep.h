#pragma once

#include "filing/ui/generatescreen.h"

namespace quarl {

// "Generate Flat-File": writes the voyage's IGM file into the program folder in the layout
// of the System Parameters, then copies it to the removable-media folder or mails it. "Check"
// writes it the same way and lists what the pre-filing check finds; a file with errors is
// handed on only when the user says so.
class frmVslRep : public GenerateScreen
{
    Q_OBJECT
public:
    explicit frmVslRep(QWidget *parent = nullptr);

protected:
    QString writeFile() override;
    void check() override;
    // Checks the file written; with errors, lists them and asks whether to go on anyway.
    bool mayHandOn(const QString &path) override;
};

} // namespace quarl
