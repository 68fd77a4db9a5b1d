#pragma once

#include "filing/ui/fileimportscreen.h"

class QCheckBox;

namespace quarl {

// "Import Igm File": adds the lines and containers of an IGM file, and on request its
// vessel record, to the company's database. Long imports show their progress and can be
// cancelled; a cancelled import stores nothing.
class frmImportIGM : public FileImportScreen
{
    Q_OBJECT
public:
    explicit frmImportIGM(QWidget *parent = nullptr);

protected:
    igm::Outcome importFile(const QString &path, const igm::Progress &progress, const std::function<bool()> &cancelled,
                            const igm::Confirm &confirm) override;

private:
    QCheckBox *chkStrip;
    QCheckBox *chkVessel;
};

} // namespace quarl
