#pragma once

#include "entry/billoflading.h"
#include "store/database.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quarl {

class CodeCombo;
class GoodsItemsGrid;

// House B/Ls of a consolidated line, keyed beneath it: the houses in a list on the left, the
// house shown in the form on the right, the master's containers to choose from and the
// house's goods items below. Every house is saved with saveBillOfLading under its master, so
// the line rules and the stale check of any bill of lading hold for it; a new house takes
// the master's line number and the next free sub-line number there.
//
// Keys: Enter moves on from field to field (a field's rule holds it first, the status line
// says why); in the container list Space chooses a container and Enter goes down; Ctrl+S or
// Alt+S saves, Alt+N starts a new house, Alt+L deletes the house shown, Alt+R reads it again, Esc or Alt+C closes.
class frmHouses : public QDialog
{
    Q_OBJECT

public:
    frmHouses(const Database &db, qint64 masterId, QWidget *parent = nullptr);

    // Reads the master and its houses again; shows the house house, else the first house, or
    // starts a new one when the master has none.
    Status load(qint64 house = 0);

    qint64 masterId() const { return m_masterId; }
    qint64 houseShown() const { return m_houseId; } // 0 while a new house is keyed
    bool isChanged() const { return m_changed; }
    QString statusText() const;

    QLineEdit *field(const QString &column) const;
    CodeCombo *codeTypeCombo() const { return m_codeType; }
    QTableWidget *houseList() const { return m_list; }
    QTableWidget *containerList() const { return m_boxes; }
    GoodsItemsGrid *itemsGrid() const { return m_items; }

    void newHouse();
    bool saveHouse();
    void deleteHouse();
    // The house shown as it is stored now (asks first when something was typed).
    void readAgain();

Q_SIGNALS:
    // A house was saved or deleted here.
    void housesChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    void build();
    Status readMaster();
    void fillList(qint64 select);
    void showHouse(qint64 id);
    void clearForm();
    void showContainers(const QList<Container> &chosen);
    bool fieldAccepted(QLineEdit *edit); // the field's rule; the status line says why not
    QString fieldProblem(QLineEdit *edit) const;
    void moveOn(QWidget *from, bool forward);
    bool askToDrop();
    void setStatus(const QString &text);
    void changed();
    BillOfLading typedHouse(QList<qint64> *removed) const;
    bool keepsFiling() const { return m_filing; }

    Database m_db;
    qint64 m_masterId = 0;
    qint64 m_houseId = 0;
    BillOfLading m_master;
    std::optional<BillOfLading> m_loaded; // the house as read, for the stale check of its save
    QList<Container> m_masterBoxes;
    bool m_filing = false;
    bool m_itemsKept = false;
    bool m_loading = false;
    bool m_changed = false;

    QLabel *m_heading = nullptr;
    QLabel *m_houseHeading = nullptr;
    QLabel *m_status = nullptr;
    QTableWidget *m_list = nullptr;
    QTableWidget *m_boxes = nullptr;
    GoodsItemsGrid *m_items = nullptr;
    CodeCombo *m_codeType = nullptr;
    QList<QLineEdit *> m_fields;
    QList<QWidget *> m_order; // Enter and Tab go along it
    QPushButton *m_new = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_reread = nullptr;
    QPushButton *m_close = nullptr;
};

} // namespace quarl
