#include "common/screenfixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSet>

namespace quarl::test {

SessionScope::SessionScope(const Database &db, const QString &userRights, const QString &menuRights,
                           const QString &userId)
    : m_saved(Session::current())
{
    Session &s = Session::current();
    s.connection = db;
    s.userRights = userRights;
    s.menuRights = menuRights;
    s.userId = userId;
}

SessionScope::~SessionScope()
{
    Session::current() = m_saved;
}

bool showActive(QWidget *screen)
{
    screen->show();
    QApplication::setActiveWindow(screen);
    screen->activateWindow();
    return QTest::qWaitForWindowActive(screen);
}

QString pictureFault(QWidget *window, const QImage &picture)
{
    if (picture.isNull())
        return QStringLiteral("no picture of %1").arg(window->objectName());
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 3) {
        for (int x = 0; x < picture.width(); x += 3)
            colours.insert(picture.pixel(x, y));
    }
    if (colours.size() <= 8)
        return QStringLiteral("the picture of %1 is blank").arg(window->objectName());
    const QRect shown = window->rect();
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || !(qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                                 || qobject_cast<QComboBox *>(w)))
            continue;
        const QRect at(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!shown.contains(at))
            return QStringLiteral("%1 \"%2\" of %3 is cut off: %4,%5 %6x%7 outside %8x%9")
                .arg(QLatin1String(w->metaObject()->className()), w->objectName(), window->objectName())
                .arg(at.x())
                .arg(at.y())
                .arg(at.width())
                .arg(at.height())
                .arg(shown.width())
                .arg(shown.height());
    }
    return QString();
}

} // namespace quarl::test
