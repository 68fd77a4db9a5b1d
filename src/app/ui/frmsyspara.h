#pragma once

#include "store/filer.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quarl {

// System parameters: the gateway identifiers, the report heading font, the format of
// reports sent by mail, the mail server and the removable-media folder, and the open
// company's details as a filer (submitter, signer, next job number). Every value is
// written when the screen closes; there is no cancel. A filing detail that breaks its rule
// keeps the screen open at that field, and one another workstation changed meanwhile is
// not overwritten.
class frmSyspara : public QWidget
{
    Q_OBJECT
public:
    explicit frmSyspara(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    bool save();
    void chooseMediaFolder();
    void loadFiler();
    Filer::Details typedFiler() const;
    // false: the screen stays open (said why)
    bool saveFiler();

    QLineEdit *txtCustomCode;
    QLineEdit *txtIceGateUser;
    QLineEdit *txtFont;
    QLineEdit *txtSize;
    QComboBox *Combo1;
    QComboBox *cboIgmLayout;
    QComboBox *cboIgmMode;
    QLineEdit *txtMailHost;
    QLineEdit *txtMailPort;
    QComboBox *cboMailSecurity;
    QLineEdit *txtMailUser;
    QLineEdit *txtMailPassword;
    QLineEdit *txtMailFrom;
    QLineEdit *txtMediaFolder;
    QPushButton *cmdMediaFolder;
    QPushButton *cmdExit;
    QComboBox *cboSubmitterType;
    QLineEdit *txtSubmitterCode;
    QLineEdit *txtSignerPan;
    QLineEdit *txtNextJob;
    QWidget *fraFiler;
    std::optional<Filer::Details> m_filerShown; // as read from the open company
    bool m_placed = false;
};

} // namespace quarl
