#include "browsertest.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace quarl::test {

QLineEdit *field(QWidget *screen, int index)
{
    return screen->findChild<QLineEdit *>(QStringLiteral("txtFields(%1)").arg(index));
}

QPushButton *button(QWidget *screen, const char *name)
{
    return screen->findChild<QPushButton *>(QLatin1String(name));
}

QString statusLine(QWidget *screen)
{
    auto *l = screen->findChild<QLabel *>(QStringLiteral("lblStatus"));
    return l ? l->text() : QStringLiteral("<no lblStatus>");
}

bool insertVessel(const Database &db, const QString &code, const QString &name, const QString &nation,
                  const QVariant &grt, const QVariant &nrt)
{
    return db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt) "
                                  "values (?, ?, ?, ?, ?)"),
                   {code, name.isEmpty() ? QStringLiteral("VESSEL ") + code : name, nation, grt, nrt})
        .isOk();
}

QStringList vesselCodes(const Database &db)
{
    QStringList out;
    auto q = db.query(QStringLiteral("select VESSEL_CD from D_VESSEL_CD order by VESSEL_CD"));
    if (q) {
        while (q->next())
            out << q->value(0).toString();
    }
    return out;
}

} // namespace quarl::test
