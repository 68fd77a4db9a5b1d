#pragma once

#include "filing/ui/interchangescreen.h"

class QCheckBox;

namespace quarl {

// "Remove Data": deletes a voyage's lines with their containers, and on request its
// voyage header, in one transaction.
class frmRemove : public InterchangeScreen
{
    Q_OBJECT
public:
    explicit frmRemove(QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void remove();

    QCheckBox *chkWithVessel;
};

} // namespace quarl
