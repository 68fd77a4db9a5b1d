#pragma once

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QMdiArea;
class QWidget;

namespace quarl {

// A screen that answers every Alt key itself while its focus is inside it (the record
// browsers) carries this property set to true; the guard below then leaves its Alt+letter
// keys to it.
inline constexpr char AnswersOwnAltKeys[] = "answersOwnAltKeys";

// Alt keys in the screens of the work area. The underlined letters of a screen's own
// buttons and labels answer before the menus' (the same letter in both would otherwise
// reach neither); while the focus is in a field that takes typing, an Alt key that the
// screen does not answer does nothing (no menu opens, no letter is typed), and Alt pressed
// alone does not put the menu bar in charge of the next letter. With the focus on a
// button, Alt and the menus' letters open the menus as usual.
class ScreenAltKeys : public QObject
{
    Q_OBJECT
public:
    // Watches the key events of the application for the screens of area; lives as long
    // as the area.
    static ScreenAltKeys *install(QMdiArea *area);

    // The control of the screen whose underlined letter is the event's Alt key: a visible,
    // enabled button, or the field named by a label; nullptr when none.
    static QWidget *mnemonicTarget(QWidget *screen, const QKeyEvent *event);
    // Whether the widget takes typing: an editable line or text box, a spin box, a
    // combo box or a grid.
    static bool takesTyping(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ScreenAltKeys(QMdiArea *area);
    QWidget *screenOf(QWidget *widget) const;

    QPointer<QMdiArea> m_area;
};

} // namespace quarl
