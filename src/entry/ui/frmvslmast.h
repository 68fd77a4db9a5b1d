#pragma once

#include "browser/ui/recordbrowser.h"

class QComboBox;

namespace quarl {

// Vessel/Voyage Information: the voyage header of each vessel code and voyage (vesinfo).
// The vessel code fills name, nationality and tonnage from the vessel master; the
// nationality shows its country name; "Last Port 1" is chosen from the port list.
class frmVslMast : public RecordBrowser
{
    Q_OBJECT

public:
    explicit frmVslMast(QWidget *parent = nullptr);

    QComboBox *portCombo() const;
    QLineEdit *nationName() const { return txtNation; }

protected:
    RecordSource recordSource() const override;
    void SwitchMode(Mode mode) override;
    void currentRowShown() override;
    bool acceptFieldLeave(int index) override;
    void fieldTextChanged(int index) override;
    bool handleKey(QKeyEvent *event) override;
    QList<QWidget *> tabOrder() const override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    Status writePending() override;

private:
    void loadPorts();
    void showNation();
    bool acceptNation();
    bool acceptVesselCode();
    void portChosen(int row);

    QLineEdit *txtNation = nullptr;
    QComboBox *cmbLastPort = nullptr;
    bool m_portsLoaded = false;
    bool m_syncingPort = false;
};

} // namespace quarl
