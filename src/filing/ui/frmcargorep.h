#pragma once

#include "filing/ui/voyagesendscreen.h"

namespace quarl {

// "Generate XML File (Cargo)": writes cargo.xml and contain.xml of the voyage into the
// program folder for another agent, and on request mails both.
class frmCargoRep : public VoyageSendScreen
{
    Q_OBJECT
public:
    explicit frmCargoRep(QWidget *parent = nullptr);

protected:
    void generate() override;
    void email() override;
};

} // namespace quarl
