#pragma once

#include "filing/ui/interchangescreen.h"

namespace quarl {

// "Import Cargo / Container": adds the lines and containers of a voyage exported by
// another installation (cargo.xml and contain.xml) under new keys.
class frmImport : public InterchangeScreen
{
    Q_OBJECT
public:
    explicit frmImport(QWidget *parent = nullptr);

private:
    void browse(QLineEdit *target, const QString &title);
    void import();

    QLineEdit *Text1;
    QLineEdit *Text2;
};

} // namespace quarl
