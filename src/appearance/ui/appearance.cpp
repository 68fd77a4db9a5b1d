#include "appearance/ui/appearance.h"

#include <QApplication>
#include <QMdiArea>
#include <QPalette>
#include <QPointer>
#include <QWidget>

namespace quarl {

namespace {

// Marks on the windows, so that a new skin finds every window that took the old one.
const char SkinnedMark[] = "quarlSkinned";
const char PassMark[] = "quarlAppearancePass";
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

void colour(QWidget *w, const Skin &skin)
{
    w->setPalette(skinPalette(w->palette(), skin));
    w->setProperty(ColouredMark, true);
}

void uncolour(QWidget *w)
{
    if (w->property(ColouredMark).toBool()) {
        w->setPalette(QPalette());
        w->setProperty(ColouredMark, QVariant());
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
    if (skin) {
        window->setStyleSheet(skin->styleSheet);
        colour(window, *skin);
        window->setProperty(SkinnedMark, true);
    } else if (window->property(SkinnedMark).toBool()) {
        window->setStyleSheet(QString());
        uncolour(window);
        window->setProperty(SkinnedMark, QVariant());
    }
}

void applyAppearance(QWidget *screen)
{
    if (!screen)
        return;
    applySkin(screen);
    screen->setProperty(PassMark, true);
    const auto &skin = skinState();
    for (QWidget *w : controlsOf(screen)) {
        if (skin)
            colour(w, *skin);
        else
            uncolour(w);
    }
    if (auto *area = screen->findChild<QMdiArea *>(); area && skin) {
        const QColor bg = skin->backgroundColor;
        area->setBackground(bg.lightness() > 128 ? bg.darker(125) : bg.darker(150));
    } else if (area) {
        area->setBackground(area->palette().brush(QPalette::Dark));
    }
}

void reapplyAppearance()
{
    const QList<QWidget *> all = QApplication::allWidgets();
    QList<QPointer<QWidget>> passes;
    QList<QPointer<QWidget>> skinned;
    for (QWidget *w : all) {
        if (w->property(PassMark).toBool())
            passes << w;
        else if (w->property(SkinnedMark).toBool())
            skinned << w;
    }
    for (const auto &w : skinned) {
        if (w)
            applySkin(w);
    }
    for (const auto &w : passes) {
        if (w)
            applyAppearance(w);
    }
}

} // namespace quarl
