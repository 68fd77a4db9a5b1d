#pragma once

#include <QObject>

class QWidget;

namespace quarl {

// Enter on a data-entry screen moves the focus to the next control as Tab does; the key
// produces no character and no beep. On a push button Enter presses it. Multi-line
// text fields keep their Enter.
class EnterMovesFocus : public QObject
{
    Q_OBJECT
public:
    // Watches every control the screen holds now.
    static EnterMovesFocus *install(QWidget *screen);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit EnterMovesFocus(QObject *parent);
};

} // namespace quarl
