#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quarl {

// System parameters: the gateway identifiers, the report heading font, the format of
// reports sent by mail, the mail server and the removable-media folder. Every value is
// written when the screen closes; there is no cancel.
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
    bool m_placed = false;
};

} // namespace quarl
