#pragma once

#include <QComboBox>

namespace quarl {

// A look-up list of a data screen (ports, units, codes). Typing finds an entry by its
// text, blanks included, without opening the list (a blank would open a plain combo and
// send the rest of the typing over the next field). While locked (browse mode) it takes
// the focus but neither opens nor changes its choice.
class LookupCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit LookupCombo(QWidget *parent = nullptr);

    void setLocked(bool locked) { m_locked = locked; }
    bool isLocked() const { return m_locked; }

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool m_locked = false;
};

} // namespace quarl
