#pragma once

#include "igm/ui/voyagesendscreen.h"

namespace quarl {

// "Generate Flat-File": writes the voyage's IGM file into the program folder, then copies
// it to the removable-media folder or mails it.
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
    void copyToMedia(const QString &path);
};

} // namespace quarl
