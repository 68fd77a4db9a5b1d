#include "appearance/ui/appearance.h"

#include <QApplication>
#include <QMdiArea>
#include <QPalette>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace quarl {

namespace {

// Marks on the windows, so that a new skin finds every window that took the old one.
const char TargetMark[] = "quarlTakesSkin";
const char SheetMark[] = "quarlSkinSheet";
const char ColouredMark[] = "quarlColoured";

std::optional<Skin> &skinState()
{
    static std::optional<Skin> skin;
    return skin;
}

QColor blend(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

QPalette skinPalette(QPalette p, const Skin &skin)
{
    const QColor dim = blend(skin.textColor, skin.backgroundColor);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor text = group == QPalette::Disabled ? dim : skin.textColor;
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(group, role, text);
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            p.setColor(group, role, skin.backgroundColor);
        p.setColor(group, QPalette::AlternateBase,
                   skin.backgroundColor.lightness() > 128 ? skin.backgroundColor.darker(106)
                                                           : skin.backgroundColor.lighter(115));
        p.setColor(group, QPalette::PlaceholderText, dim);
    }
    return p;
}

// A style sheet gives every control a palette of its own when polished, so the colours
// do not flow from a window to its controls: each control takes them itself, and paints
// its own background so that no window frame shows through in the default colour.
void colour(QWidget *w, const Skin &skin)
{
    if (!w->property(ColouredMark).isValid())
        w->setProperty(ColouredMark, w->autoFillBackground());
    w->setPalette(skinPalette(w->palette(), skin));
    w->setAutoFillBackground(true);
    if (auto *area = qobject_cast<QMdiArea *>(w))
        area->setBackground(skin.workspaceColor);
}

void uncolour(QWidget *w)
{
    const QVariant autoFill = w->property(ColouredMark);
    if (autoFill.isValid()) {
        w->setPalette(QPalette());
        w->setAutoFillBackground(autoFill.toBool());
        w->setProperty(ColouredMark, QVariant());
        if (auto *area = qobject_cast<QMdiArea *>(w))
            area->setBackground(area->palette().brush(QPalette::Dark));
    }
}

// The controls of a screen: its children, but not the screens that open inside a main
// window's work area (each runs its own pass).
QList<QWidget *> controlsOf(QWidget *screen)
{
    QList<QWidget *> out;
    QList<QWidget *> todo = {screen};
    while (!todo.isEmpty()) {
        QWidget *w = todo.takeFirst();
        for (QObject *child : w->children()) {
            auto *cw = qobject_cast<QWidget *>(child);
            // Drop-down lists are windows of their own but part of their control.
            if (!cw || (cw->isWindow() && cw->windowType() != Qt::Popup))
                continue;
            out << cw;
            if (!qobject_cast<QMdiArea *>(cw))
                todo << cw;
        }
    }
    return out;
}

} // namespace

const std::optional<Skin> &currentSkin()
{
    return skinState();
}

Status loadSkin(const QString &path)
{
    skinState().reset();
    if (path.trimmed().isEmpty())
        return Status::ok();
    auto skin = Skins::readFile(path);
    if (!skin)
        return skin.failure();
    skinState() = skin.value();
    return Status::ok();
}

void applySkin(QWidget *window)
{
    if (!window)
        return;
    const auto &skin = skinState();
    window->setProperty(TargetMark, true);
    if (skin) {
        window->setStyleSheet(skin->styleSheet);
        window->setProperty(SheetMark, true);
    } else if (window->property(SheetMark).toBool()) {
        window->setStyleSheet(QString());
        window->setProperty(SheetMark, QVariant());
    }
    // Without the colours on the controls too, a dark skin would leave dark text on a
    // dark window wherever a screen does not run the pass itself.
    for (QWidget *w : QList<QWidget *>{window} + controlsOf(window)) {
        if (skin)
            colour(w, *skin);
        else
            uncolour(w);
    }
}

void applyAppearance(QWidget *screen)
{
    if (!screen)
        return;
    applySkin(screen);
}

void reapplyAppearance()
{
    // A window's new style sheet repolishes everything inside it, which puts back the
    // palettes its controls had before; so outer windows go first.
    auto depth = [](const QWidget *w) {
        int d = 0;
        for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
            ++d;
        return d;
    };
    QList<QPair<int, QPointer<QWidget>>> windows;
    for (QWidget *w : QApplication::allWidgets()) {
        if (w->property(TargetMark).toBool())
            windows.append({depth(w), w});
    }
    std::stable_sort(windows.begin(), windows.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &w : windows) {
        if (w.second)
            applySkin(w.second);
    }
}

} // namespace quarl
