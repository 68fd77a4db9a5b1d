#include "app/installation.h"
#include "app/settings.h"
#include "store/database.h"

#include <QApplication>
#include <QListWidget>
#include <QVBoxLayout>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarl"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Quarl"));
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Companies of %1").arg(quarl::Installation::folder())));
    auto *list = new QListWidget;
    layout->addWidget(list);
    auto db = quarl::Database::openSqlite(quarl::Settings::sysPath());
    if (db) {
        auto q = db->query(QStringLiteral("select name from DRCOMP"));
        if (q) {
            while (q->next())
                list->addItem(q->value(0).toString());
        }
    }
    window.resize(480, 320);
    window.show();
    return app.exec();
}
