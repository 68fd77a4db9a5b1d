#pragma once

#include "common/screenfixture.h"
#include "store/database.h"

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QVariantList>
#include <QWidget>

namespace quarl::test {

QLineEdit *field(QWidget *screen, int index);
QPushButton *button(QWidget *screen, const char *name);
QString statusLine(QWidget *screen);

bool insertVessel(const Database &db, const QString &code, const QString &name = QString(),
                  const QString &nation = QStringLiteral("IN"), const QVariant &grt = 1000.0,
                  const QVariant &nrt = 500.0);
QStringList vesselCodes(const Database &db); // in code order

} // namespace quarl::test
