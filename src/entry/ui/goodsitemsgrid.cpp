#include "entry/ui/goodsitemsgrid.h"

#include "core/prompter.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace quarl {

namespace {

using namespace GoodsItems;

struct ColumnDef
{
    const char *header;
    int width;
    int maxLength;
};
const ColumnDef Columns[ColumnCount] = {{"HS Code", 80, 8}, {"Description", 330, 256}, {"UNO", 60, 5},
                                        {"IMO", 50, 3},     {"Pkgs", 70, 8},           {"Pkg Type", 70, 3}};

// Rows shown: the items and a few empty ones to type into.
int rowsFor(int items)
{
    return std::max(12, items + 6);
}

bool isPrintable(const QKeyEvent *event)
{
    const auto mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::NoModifier && !event->text().isEmpty() && event->text().at(0).isPrint();
}

} // namespace

GoodsItemsGrid::GoodsItemsGrid(QWidget *parent) : QTableWidget(0, ColumnCount, parent)
{
    setObjectName(QStringLiteral("grdItems"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    for (int c = 0; c < ColumnCount; ++c) {
        auto *h = new QTableWidgetItem(QLatin1String(Columns[c].header));
        h->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setHorizontalHeaderItem(c, h);
        setColumnWidth(c, std::max(Columns[c].width, fontMetrics().horizontalAdvance(h->text()) + 16));
    }
    horizontalHeader()->setStretchLastSection(true);
    m_editor = new QLineEdit(viewport());
    m_editor->setObjectName(QStringLiteral("txtItemText"));
    m_editor->setFrame(false);
    m_editor->hide();
    m_editor->installEventFilter(this);
    setRowCount(rowsFor(0));
}

void GoodsItemsGrid::setEditable(bool editable)
{
    if (!editable && isEditing())
        endEdit(false, false);
    m_editable = editable;
}

void GoodsItemsGrid::clearItems()
{
    if (isEditing())
        endEdit(false, false);
    clearContents();
    setRowCount(rowsFor(0));
}

void GoodsItemsGrid::setItems(const QList<GoodsItem> &items)
{
    clearItems();
    setRowCount(rowsFor(int(items.size())));
    for (int r = 0; r < items.size(); ++r) {
        const GoodsItem &i = items.at(r);
        const QString texts[ColumnCount] = {i.hscode, i.description, i.unocode, i.imocode, i.pkgs, i.pkgtype};
        for (int c = 0; c < ColumnCount; ++c)
            setCell(r, c, texts[c]);
    }
}

QList<GoodsItem> GoodsItemsGrid::items() const
{
    QList<GoodsItem> out;
    for (int r = 0; r < rowCount(); ++r) {
        GoodsItem i{cell(r, ColHsCode), cell(r, ColDescription), cell(r, ColUno),
                    cell(r, ColImo),    cell(r, ColPkgs),        cell(r, ColPkgType)};
        if (i.inUse())
            out << i;
    }
    return out;
}

void GoodsItemsGrid::selectItem(int n, int column)
{
    int seen = -1;
    for (int r = 0; r < rowCount(); ++r) {
        GoodsItem i{cell(r, ColHsCode), cell(r, ColDescription), cell(r, ColUno),
                    cell(r, ColImo),    cell(r, ColPkgs),        cell(r, ColPkgType)};
        if (i.inUse() && ++seen == n) {
            setCurrentCell(r, column);
            return;
        }
    }
}

QString GoodsItemsGrid::cell(int row, int column) const
{
    const QTableWidgetItem *i = item(row, column);
    return i ? i->text() : QString();
}

void GoodsItemsGrid::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= rowCount())
        return;
    if (QTableWidgetItem *i = item(row, column)) {
        i->setText(text);
        return;
    }
    auto *i = new QTableWidgetItem(text);
    i->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, column, i);
}

void GoodsItemsGrid::focusInEvent(QFocusEvent *event)
{
    QTableWidget::focusInEvent(event);
    if (currentRow() < 0 && rowCount() > 0)
        setCurrentCell(0, ColHsCode);
}

bool GoodsItemsGrid::handleKey(QKeyEvent *event)
{
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (m_editor->hasFocus()) {
        if (enter || (key == Qt::Key_Tab && mods == Qt::NoModifier)) {
            endEdit(true, true);
            return true;
        }
        if (key == Qt::Key_Escape) {
            endEdit(false, false);
            return true;
        }
        if (mods == Qt::ControlModifier && key == Qt::Key_S)
            endEdit(true, false); // and the screen saves
        return false;
    }
    if (key == Qt::Key_Escape)
        return true; // the typed items are not cancelled by it
    if (enter && m_editable) {
        startEdit(QString(), true);
        return true;
    }
    if (isPrintable(event)) {
        if (m_editable)
            startEdit(event->text(), false);
        else
            Prompter::current().beep();
        return true;
    }
    return false;
}

void GoodsItemsGrid::startEdit(const QString &typed, bool keepValue)
{
    const int row = currentRow();
    const int col = currentColumn();
    if (row < 0 || col < 0)
        return;
    m_editRow = row;
    m_editColumn = col;
    m_editor->setMaxLength(Columns[col].maxLength);
    m_editor->setGeometry(visualRect(model()->index(row, col)));
    m_editor->setText(keepValue ? cell(row, col) : typed);
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->end(false);
}

void GoodsItemsGrid::endEdit(bool store, bool moveOn)
{
    const int row = m_editRow;
    const int col = m_editColumn;
    if (row < 0)
        return;
    m_editRow = m_editColumn = -1;
    // Codes are filed in capitals; the description stays as typed.
    if (store)
        setCell(row, col, col == ColDescription ? m_editor->text() : m_editor->text().trimmed().toUpper());
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();

    const QString why = m_rule ? m_rule(col, cell(row, col)) : QString();
    if (why.isEmpty())
        Q_EMIT cellAccepted();
    else
        Q_EMIT cellRefused(why);
    if (col == ColPkgs && row > 0 && cell(row, ColPkgType).isEmpty())
        setCell(row, ColPkgType, cell(row - 1, ColPkgType));
    if (!moveOn || !why.isEmpty()) {
        setCurrentCell(row, col);
        return;
    }
    if (col + 1 < ColumnCount) {
        setCurrentCell(row, col + 1);
        return;
    }
    if (row + 1 >= rowCount())
        setRowCount(rowCount() + 6); // room for the next item
    setCurrentCell(row + 1, ColHsCode);
}

bool GoodsItemsGrid::eventFilter(QObject *watched, QEvent *event)
{
    // a click elsewhere keeps what was typed into the cell
    if (watched == m_editor && event->type() == QEvent::FocusOut && isEditing())
        endEdit(true, false);
    return QTableWidget::eventFilter(watched, event);
}

} // namespace quarl
