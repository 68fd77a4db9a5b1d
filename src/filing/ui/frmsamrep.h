#pragma once

#include "filing/ui/generatescreen.h"

class QTableWidget;

namespace quarl {
namespace igm {
struct SamWriteResult;
}

// "Generate SAM (SCMTR)": writes the voyage's arrival manifest as the gateway's JSON message
// into the program folder, then copies it to the removable-media folder or mails it. The
// voyage is checked first: with errors no file is written and the list says what to key in.
// "Check" lists the findings without writing or taking a job number; "Read Reply" lists the
// errors of the gateway's _SFL or _ACK file with the B/L numbers they concern, and stores
// it on the filing it answers. The voyage's filings stand below, newest first.
class frmSamRep : public GenerateScreen
{
    Q_OBJECT
public:
    explicit frmSamRep(QWidget *parent = nullptr);

protected:
    QString writeFile() override;
    void check() override;

private:
    igm::SamWriteResult run(bool checkOnly);
    void readReply();
    // Fills the table of the voyage's filings from the register.
    void showFilings();

    QTableWidget *m_filings = nullptr;
};

} // namespace quarl
