#pragma once

#include "browser/ui/recordbrowser.h"

class QComboBox;

namespace quarl {

class CodeCombo;

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
    CodeCombo *purposeCombo() const { return cmbPurpose; }
    CodeCombo *shipTypeCombo() const { return cmbShipType; }

    void updateRecord() override;

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
    void sideBySide(QWidget *first, QWidget *second, int row, int col);

    // What today's arrival manifest asks for (frmvslmastfiling.cpp): fields below those of
    // the flat file, checked as they are left and again at save; none is required.
    void addFilingFields();
    void loadFilingLists();
    void showFilingLists();
    void lockFilingLists(bool locked);
    void insertFilingTabOrder(QList<QWidget *> &order) const;
    // Empty when the field passes, else why it does not (also holdReason()).
    QString filingFieldProblem(int index);
    // The first new field that fails its rule, or -1; why it fails through why.
    int firstFilingProblem(QString *why);

    QLineEdit *txtNation = nullptr;
    QComboBox *cmbLastPort = nullptr;
    CodeCombo *cmbPurpose = nullptr;
    CodeCombo *cmbShipType = nullptr;
    bool m_filingListsLoaded = false;
    bool m_portsLoaded = false;
    bool m_syncingPort = false;
};

} // namespace quarl
