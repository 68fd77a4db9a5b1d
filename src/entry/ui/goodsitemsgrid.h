#pragma once

#include "entry/goodsitems.h"

#include <QTableWidget>

#include <functional>

class QLineEdit;

namespace quarl {

// The goods items of a bill of lading, one item per row, typed in like the container grid:
// a typed character or Enter opens the cell's edit box, Enter stores the cell and moves
// right (from the last column to the next item), Esc drops the edit. Finishing "Pkgs"
// fills an empty "Pkg Type" from the row above. A refused cell keeps the selection.
class GoodsItemsGrid : public QTableWidget
{
    Q_OBJECT

public:
    explicit GoodsItemsGrid(QWidget *parent = nullptr);

    // The rule of a cell: empty when the text passes, else the reason.
    using Rule = std::function<QString(int column, const QString &text)>;
    void setRule(Rule rule) { m_rule = std::move(rule); }
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }

    void setItems(const QList<GoodsItem> &items);
    QList<GoodsItem> items() const; // the rows in use, top to bottom
    void clearItems();
    // Puts the selection on the n-th item in use (0-based) and the column.
    void selectItem(int n, int column);

    QLineEdit *editor() const { return m_editor; }
    bool isEditing() const { return m_editRow >= 0; }
    // Keys while the grid or its edit box has the focus; true when used. Tab, Ctrl+S and an
    // Enter that starts no edit are left to the screen (an edit in progress is stored first).
    bool handleKey(QKeyEvent *event);
    void endEdit(bool store, bool moveOn);

    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);

Q_SIGNALS:
    void cellRefused(const QString &why);
    void cellAccepted();

protected:
    void focusInEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startEdit(const QString &typed, bool keepValue);

    QLineEdit *m_editor = nullptr;
    Rule m_rule;
    bool m_editable = false;
    int m_editRow = -1;
    int m_editColumn = -1;
};

} // namespace quarl
