#pragma once

#include "filing/ui/fileimportscreen.h"

namespace quarl {

// "Import SAM File": adds the voyage of an arrival manifest in the gateway's JSON message
// (SAM) to the company's database: its header when the voyage is not there yet, the lines
// with their house B/Ls, containers and goods items, all or nothing. The vessel code is
// the one of the file's IMO number in Vessel Code Setup, or the one typed in.
class frmImportSAM : public FileImportScreen
{
    Q_OBJECT
public:
    explicit frmImportSAM(QWidget *parent = nullptr);

protected:
    igm::Outcome importFile(const QString &path, const igm::Progress &progress, const std::function<bool()> &cancelled,
                            const igm::Confirm &confirm) override;

private:
    QLineEdit *txtVessel;
};

} // namespace quarl
