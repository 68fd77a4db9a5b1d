#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quarl {

// Colour options: the skin file all windows take their look from.
class frmColor : public QWidget
{
    Q_OBJECT
public:
    explicit frmColor(QWidget *parent = nullptr);

public Q_SLOTS:
    void Command1_Click(); // "Load Skin"
    void cmdSave_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showPreview();

    QLabel *lblHeading;
    QLineEdit *Text1;
    QPushButton *Command1;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;
    QLabel *lblPreview;
};

} // namespace quarl
