#pragma once

#include "browser/ui/recordbrowser.h"

namespace quarl {

// Vessel Code Setup: the vessel code master D_VESSEL_CD.
class frmVslCode : public RecordBrowser
{
    Q_OBJECT
public:
    explicit frmVslCode(QWidget *parent = nullptr);

protected:
    RecordSource recordSource() const override;
};

} // namespace quarl
