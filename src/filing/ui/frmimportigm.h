#pragma once

#include "filing/ui/interchangescreen.h"

class QCheckBox;

namespace quarl {

// "Import Igm File": adds the lines and containers of an IGM file, and on request its
// vessel record, to the company's database. Long imports show their progress and can be
// cancelled; a cancelled import stores nothing.
class frmImportIGM : public InterchangeScreen
{
    Q_OBJECT
public:
    explicit frmImportIGM(QWidget *parent = nullptr);

private:
    void browse();
    void import();

    QLineEdit *Text1;
    QCheckBox *chkStrip;
    QCheckBox *chkVessel;
};

} // namespace quarl
