#pragma once

#include <QComboBox>
#include <QElapsedTimer>

namespace quarl {

// A look-up list of a data screen (ports, units, codes). Typing finds an entry by its
// text, blanks included, without opening the list (a blank would open a plain combo and
// send the rest of the typing over the next field). While locked (browse mode) it takes
// the focus but neither opens nor changes its choice. A list of codes shown by their names
// (ports) may also be searched by code: typed in full, a code picks its entry; what no name
// begins with is looked for at the start of the codes.
class LookupCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit LookupCombo(QWidget *parent = nullptr);

    void setLocked(bool locked) { m_locked = locked; }
    // The entries' data are codes that typing may find as well as the names.
    void setSearchByCode(bool on) { m_byCode = on; }
    bool isLocked() const { return m_locked; }

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // The entry the typing so far finds, or -1.
    int typedEntry(const QString &typed) const;

    bool m_locked = false;
    bool m_byCode = false;
    QString m_typed;          // typed since the last pause
    QElapsedTimer m_lastKey;
};

} // namespace quarl
