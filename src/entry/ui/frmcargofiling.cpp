// The cargo screen's second page, "Parties and Goods": what today's arrival manifest asks
// for beside the flat file. The first page keeps its fields, order and rules; a clerk who
// keys only the flat file never needs this page.
#include "entry/ui/frmcargo.h"

#include "core/prompter.h"
#include "entry/cargorules.h"
#include "entry/filingrules.h"
#include "entry/ui/codecombo.h"
#include "entry/ui/goodsitemsgrid.h"
#include "store/filingfields.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quarl {

using namespace CargoRules;

namespace {

enum FilingField {
    FCargoType = 200, // hidden: the codes of the combos
    FConsInd = 201,
    FPrevDec = 202,
    FNextUnload = 203,
    FShpName = 210,
    FShpAddr = 211,
    FShpCity = 212,
    FShpCntry = 213,
    FCnsAddr = 220,
    FCnsCity = 221,
    FCnsState = 222,
    FCnsStateNm = 223,
    FCnsPin = 224,
    FCnsCntry = 225,
    FCnsCodeType = 226,
    FCnsCode = 227,
    FNotCodeType = 230,
    FNotPan = 231,
    FNotCity = 232,
    FNotCntry = 233,
    FNotPin = 234,
};

enum class Kind { Plain, Code, Country, State, StateName, Pin, Port, PartyCode, List };

struct PageField
{
    int index;
    const char *column;
    const char *group; // for the status line: "Consignee PIN: ..."
    const char *caption;
    Kind kind;
    int row;
    int col;
};

// The second page in tab order: the line's codes, then shipper, consignee, notify party.
const PageField PageFields[] = {
    {FCargoType, "cargotype", "", "Type of Cargo", Kind::List, 0, 0},
    {FConsInd, "consind", "", "Consolidated", Kind::List, 0, 2},
    {FPrevDec, "prevdec", "", "Prev. Declaration", Kind::List, 0, 4},
    {FNextUnload, "nextunload", "", "Next Unlading Port", Kind::Port, 0, 6},
    {FShpName, "shpname", "Shipper", "Name", Kind::Plain, 2, 0},
    {FShpAddr, "shpaddr", "Shipper", "Street", Kind::Plain, 3, 0},
    {FShpCity, "shpcity", "Shipper", "City", Kind::Plain, 4, 0},
    {FShpCntry, "shpcntry", "Shipper", "Country", Kind::Country, 5, 0},
    {FCnsAddr, "cnsaddr", "Consignee", "Street", Kind::Plain, 2, 2},
    {FCnsCity, "cnscity", "Consignee", "City", Kind::Plain, 3, 2},
    {FCnsState, "cnsstate", "Consignee", "State", Kind::State, 4, 2},
    {FCnsStateNm, "cnsstatenm", "Consignee", "State name", Kind::StateName, 4, 2},
    {FCnsPin, "cnspin", "Consignee", "PIN", Kind::Pin, 5, 2},
    {FCnsCntry, "cnscntry", "Consignee", "Country", Kind::Country, 6, 2},
    {FCnsCodeType, "cnscodetype", "Consignee", "Code Type", Kind::List, 2, 4},
    {FCnsCode, "cnscode", "Consignee", "Code", Kind::PartyCode, 3, 4},
    {FNotCodeType, "notcodetype", "Notify", "Code Type", Kind::List, 2, 6},
    {FNotPan, "notpan", "Notify", "PAN / Code", Kind::PartyCode, 3, 6},
    {FNotCity, "notcity", "Notify", "City", Kind::Plain, 4, 6},
    {FNotCntry, "notcntry", "Notify", "Country", Kind::Country, 5, 6},
    {FNotPin, "notpin", "Notify", "PIN", Kind::Pin, 6, 6},
};

struct ListDef
{
    int field;
    const char *name;
    const char *table;
    const char *code;
    const char *description;
};
const ListDef Lists[] = {
    {FCargoType, "cmbCargoType", "cargotype", "ct_cd", "ct_desc"},
    {FConsInd, "cmbConsInd", "consind", "ci_cd", "ci_desc"},
    {FPrevDec, "cmbPrevDec", "prevdec", "pd_cd", "pd_desc"},
    {FCnsCodeType, "cmbCnsCodeType", "idcodetype", "idt_cd", "idt_desc"},
    {FNotCodeType, "cmbNotCodeType", "idcodetype", "idt_cd", "idt_desc"},
};

const PageField *pageField(int index)
{
    for (const PageField &f : PageFields) {
        if (f.index == index)
            return &f;
    }
    return nullptr;
}

QString fullCaption(const PageField &f)
{
    return f.group[0] ? QLatin1String(f.group) + QLatin1Char(' ') + QLatin1String(f.caption) : QLatin1String(f.caption);
}

// What an empty choice of a list stands for when filed.
QString fallbackOf(const char *column)
{
    const Filing::Field *f = Filing::byColumn(QStringLiteral("cargo"), QLatin1String(column));
    return f && f->fallback ? QLatin1String(f->fallback) : QString();
}

} // namespace

void frmCargo::buildFilingPage()
{
    auto *outer = qobject_cast<QVBoxLayout *>(layout());
    tabPages = new QTabWidget(this);
    tabPages->setObjectName(QStringLiteral("tabPages"));
    tabPages->setDocumentMode(true);
    // the pages are reached by their Alt keys; Tab goes from field to field only
    tabPages->setFocusPolicy(Qt::NoFocus);
    tabPages->tabBar()->setFocusPolicy(Qt::NoFocus);
    delete outer->replaceWidget(fieldArea(), tabPages);
    tabPages->addTab(fieldArea(), tr("&Bill of Lading"));
    pageParties = new QWidget;
    pageParties->setObjectName(QStringLiteral("pageParties"));
    tabPages->addTab(pageParties, tr("&Parties and Goods"));
    connect(tabPages, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == 1 && mode() != Mode::Browse)
            consigneeFromImporter();
    });

    auto *v = new QVBoxLayout(pageParties);
    v->setContentsMargins(0, 4, 0, 0);
    auto *g = new QGridLayout;
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    for (int c : {1, 3, 5, 7})
        g->setColumnStretch(c, 1);
    v->addLayout(g);

    QFont bold = font();
    bold.setBold(true);
    const QStringList heads = {tr("Shipper"), tr("Consignee"), tr("Consignee Code"), tr("Notify Party")};
    for (int k = 0; k < heads.size(); ++k) {
        auto *h = new QLabel(heads.at(k), pageParties);
        h->setFont(bold);
        g->addWidget(h, 1, 2 * k, 1, 2);
    }

    QLineEdit *stateCode = nullptr;
    for (const PageField &f : PageFields) {
        QLineEdit *edit = addField(f.index, QLatin1String(f.column));
        auto *label = new QLabel(QLatin1String(f.caption), pageParties);
        label->setObjectName(QStringLiteral("lblLabels(%1)").arg(f.index));
        label->setBuddy(edit);
        edit->setMinimumWidth(f.kind == Kind::Plain ? 120 : 60);
        if (f.kind == Kind::List) {
            edit->hide();
            label->hide();
            continue;
        }
        if (f.kind == Kind::StateName) {
            // shown from the state list beside the code
            edit->setEnabled(false);
            label->hide();
            auto *box = new QHBoxLayout;
            box->setSpacing(4);
            box->addWidget(stateCode, 1);
            box->addWidget(edit, 3);
            g->addLayout(box, f.row, f.col + 1);
            continue;
        }
        if (f.kind == Kind::State) {
            stateCode = edit;
            g->addWidget(label, f.row, f.col);
            continue;
        }
        g->addWidget(label, f.row, f.col);
        g->addWidget(edit, f.row, f.col + 1);
    }

    for (const ListDef &l : Lists) {
        auto *c = new CodeCombo(pageParties);
        c->setObjectName(QLatin1String(l.name));
        const PageField *f = pageField(l.field);
        auto *label = new QLabel(QLatin1String(f->caption), pageParties);
        label->setObjectName(QStringLiteral("lbl") + QLatin1String(l.name).mid(3));
        label->setBuddy(c);
        g->addWidget(label, f->row, f->col);
        g->addWidget(c, f->row, f->col + 1);
        const QString fallback = fallbackOf(f->column);
        if (!fallback.isEmpty())
            c->setPlaceholderText(tr("%1 when empty").arg(fallback));
        m_filingCombos << std::pair{c, l.field};
        const int field = l.field;
        connect(c, &CodeCombo::codeChosen, this, [this, field](const QString &code) { setFieldText(field, code); });
    }
    const int tabOrder[] = {FCargoType, FConsInd, FPrevDec,     FNextUnload, FShpName,     FShpAddr, FShpCity,
                            FShpCntry,  FCnsAddr, FCnsCity,     FCnsState,   FCnsPin,      FCnsCntry, FCnsCodeType,
                            FCnsCode,   FNotCodeType, FNotPan,  FNotCity,    FNotCntry,    FNotPin};
    for (int index : tabOrder) {
        QWidget *w = txtFields(index);
        for (const auto &[c, field] : m_filingCombos) {
            if (field == index)
                w = c;
        }
        m_tabWidgets << w;
    }

    auto *itemsHead = new QLabel(tr("Goods Items"), pageParties);
    itemsHead->setObjectName(QStringLiteral("lblItems"));
    itemsHead->setFont(bold);
    v->addSpacing(4);
    v->addWidget(itemsHead);
    grdItems = new GoodsItemsGrid(pageParties);
    grdItems->setMinimumHeight(grdItems->verticalHeader()->defaultSectionSize() * 5 + 28);
    v->addWidget(grdItems, 1);
    m_tabWidgets << grdItems;
    grdItems->setRule([this](int column, const QString &text) {
        auto problem = GoodsItems::cellProblem(adoPrimaryRS().database(), column, text);
        return problem ? problem.value() : problem.failure().numberAndText();
    });
    connect(grdItems, &GoodsItemsGrid::cellRefused, this, [this](const QString &why) { showHold(why); });
    connect(grdItems, &GoodsItemsGrid::cellAccepted, this, [this] { clearHold(); });
    resize(1060, 820);
}

CodeCombo *frmCargo::filingCombo(const QString &name) const
{
    for (const auto &[c, field] : m_filingCombos) {
        if (c->objectName() == name)
            return c;
    }
    return nullptr;
}

void frmCargo::turnPage(int page)
{
    // A focused field that its page hides would hand the focus to the next control of the
    // screen (the container grid, which then resets its selection): let it go first.
    if (QWidget *focus = focusWidget(); focus && page != tabPages->currentIndex())
        focus->clearFocus();
    tabPages->setCurrentIndex(page);
}

void frmCargo::consigneeFromImporter()
{
    // only into an address not begun: what the clerk typed here is never replaced
    for (int i : {FCnsAddr, FCnsCity, FCnsPin, FCnsState}) {
        if (!txtFields(i)->text().trimmed().isEmpty())
            return;
    }
    QStringList lines; // the importer's address lines of the first page
    for (const char *column : {"impadd1", "impadd2", "impadd3"}) {
        for (int i : fieldIndexes()) {
            if (fieldColumn(i) == QLatin1String(column))
                lines << txtFields(i)->text();
        }
    }
    auto address = FilingRules::addressFromLines(adoPrimaryRS().database(), lines);
    if (!address) {
        Prompter::current().message(address.failure().numberSpaceText());
        return;
    }
    const FilingRules::PartyAddress &a = address.value();
    setFieldText(FCnsAddr, a.street.left(txtFields(FCnsAddr)->maxLength()));
    setFieldText(FCnsCity, a.city.left(txtFields(FCnsCity)->maxLength()));
    setFieldText(FCnsPin, a.pin);
    setFieldText(FCnsState, a.state);
    setFieldText(FCnsStateNm, a.stateName);
}

bool frmCargo::keepsFiling() const
{
    return m_filingListsLoaded && tabPages->isTabEnabled(1);
}

void frmCargo::showPage(int page)
{
    if (page == tabPages->currentIndex() || !tabPages->isTabEnabled(page))
        return;
    if (page == 1 && fieldArea()->isAncestorOf(focusWidget()))
        m_firstPageFocus = focusWidget();
    if (grdItems->isEditing())
        grdItems->endEdit(true, false);
    turnPage(page);
    if (page == 1) {
        for (QWidget *w : std::as_const(m_tabWidgets)) {
            if (pageParties->isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled()) {
                w->setFocus(Qt::ShortcutFocusReason);
                if (auto *edit = qobject_cast<QLineEdit *>(w))
                    edit->selectAll();
                return;
            }
        }
        return;
    }
    if (mode() == Mode::Browse)
        focusAdd();
    else if (m_firstPageFocus && m_firstPageFocus->isVisibleTo(this))
        m_firstPageFocus->setFocus(Qt::ShortcutFocusReason);
    else
        focusField(firstField());
}

bool frmCargo::filingPageKey(QObject *, QEvent *event)
{
    if (!tabPages || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::AltModifier || (key->key() != Qt::Key_P && key->key() != Qt::Key_B))
        return false;
    const int page = key->key() == Qt::Key_P ? 1 : 0;
    if (!tabPages->isTabEnabled(page))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    // through the focus, as a button's Alt key: the rule of the field left still holds
    const int from = fieldIndexOf(focusWidget());
    if (from >= 0 && mode() != Mode::Browse && !acceptFieldLeave(from)) {
        showHeldField(from);
        return true;
    }
    if (m_editRow >= 0)
        endCellEdit(true, false);
    showPage(page);
    return true;
}

bool frmCargo::handleItemsKey(QKeyEvent *event)
{
    if (grdItems->handleKey(event))
        return true;
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter
        || (mods == Qt::ControlModifier && key == Qt::Key_S))
        return RecordBrowser::handleKey(event);
    return false; // arrows, Home, End, Page keys: the grid's own
}

void frmCargo::showFilingPage()
{
    const RecordSet &rs = adoPrimaryRS();
    if (!m_filingListsLoaded && rs.isOpen()) {
        m_filingListsLoaded = true;
        const auto itemsKept = GoodsItems::isKept(rs.database());
        const bool kept = rs.columnIndex(QStringLiteral("cargotype")) >= 0 && itemsKept && itemsKept.value();
        // a database not yet upgraded shows the screen of the flat file alone
        tabPages->setTabEnabled(1, kept);
        dataGrid2->setColumnHidden(ColSealType, !kept);
        dataGrid2->setColumnHidden(ColEqType, !kept);
        if (kept) {
            for (const ListDef &l : Lists) {
                if (Status s = filingCombo(QLatin1String(l.name))
                                   ->fill(rs.database(), QLatin1String(l.table), QLatin1String(l.code),
                                          QLatin1String(l.description));
                    !s)
                    Prompter::current().message(s.failure().numberSpaceText());
            }
            // a house is keyed under its master (Alt+H), never made one here
            CodeCombo *kind = filingCombo(QStringLiteral("cmbConsInd"));
            if (const int house = kind->findData(QStringLiteral("H")); house >= 0)
                kind->removeItem(house);
        }
    }
    for (const auto &[c, field] : m_filingCombos)
        c->setCode(txtFields(field)->text().trimmed());
    m_shownItems.reset();
    if (!keepsFiling()) {
        grdItems->clearItems();
        return;
    }
    QList<GoodsItem> items;
    if (rs.isOpen() && rs.hasCurrent() && rs.editMode() != RecordSet::EditMode::Add) {
        auto loaded = GoodsItems::load(rs.database(), rs.value(QStringLiteral("id")).toLongLong());
        if (loaded) {
            items = loaded.value();
            m_shownItems = items;
        } else {
            Prompter::current().message(loaded.failure().numberAndText());
        }
    }
    grdItems->setItems(items);
}

void frmCargo::switchFilingPage(Mode mode)
{
    const bool browse = mode == Mode::Browse;
    for (const auto &[c, field] : m_filingCombos)
        c->setLocked(browse);
    grdItems->setEditable(!browse);
    if (cmdHouses)
        lockHouseFields(mode);
    // Add, Edit and Carry start in "Vessel Code"
    if (!browse)
        turnPage(0);
}

QStringList frmCargo::carriedFilingTexts() const
{
    QStringList texts;
    for (const PageField &f : PageFields)
        texts << txtFields(f.index)->text();
    return texts;
}

void frmCargo::restoreCarriedFiling(const QStringList &texts)
{
    int k = 0;
    for (const PageField &f : PageFields)
        setFieldText(f.index, texts.value(k++));
    if (txtFields(FConsInd)->text().trimmed() == QLatin1String("H"))
        setFieldText(FConsInd, QString()); // carried from a house: the new line stands alone
    for (const auto &[c, field] : m_filingCombos)
        c->setCode(txtFields(field)->text().trimmed());
    grdItems->clearItems(); // the goods are the new bill of lading's own
}

QString frmCargo::filingFieldProblem(int index)
{
    const PageField *f = pageField(index);
    QLineEdit *edit = txtFields(index);
    if (!f || !edit || edit->isHidden() || edit->isReadOnly() || !keepsFiling())
        return {};
    const Database &db = adoPrimaryRS().database();
    QString text = edit->text().trimmed();
    if (f->kind != Kind::Plain && f->kind != Kind::StateName && text.toUpper() != edit->text()) {
        // codes are filed in capitals
        text = text.toUpper();
        setFieldText(index, text);
    }
    auto countryOf = [this](int field) { return txtFields(field)->text().trimmed(); };
    Result<QString> why = QString();
    switch (f->kind) {
    case Kind::Country:
        why = FilingRules::country(db, text);
        break;
    case Kind::Port:
        why = FilingRules::port(db, text);
        break;
    case Kind::State: {
        QString name;
        why = FilingRules::state(db, text, countryOf(FCnsCntry), &name);
        if (why && why->isEmpty() && (!name.isEmpty() || text.isEmpty()))
            setFieldText(FCnsStateNm, name);
        break;
    }
    case Kind::Pin:
        why = FilingRules::postalCode(text, countryOf(index == FCnsPin ? FCnsCntry : FNotCntry));
        break;
    case Kind::PartyCode: {
        const bool consignee = index == FCnsCode;
        const int type = consignee ? FCnsCodeType : FNotCodeType;
        why = FilingRules::partyCode(text, txtFields(type)->text().trimmed(),
                                     fallbackOf(consignee ? "cnscodetype" : "notcodetype"));
        break;
    }
    default:
        break;
    }
    const QString problem = why ? why.value() : why.failure().numberAndText();
    if (!problem.isEmpty())
        holdReason(fullCaption(*f) + QStringLiteral(": ") + problem);
    return problem;
}

Status frmCargo::filingFieldsValid()
{
    if (!keepsFiling())
        return Status::ok();
    if (grdItems->isEditing())
        grdItems->endEdit(true, false);
    for (const PageField &f : PageFields) {
        if (const QString why = filingFieldProblem(f.index); !why.isEmpty())
            return Failure(ErrorNumber::InvalidArgument, fullCaption(f) + QStringLiteral(": ") + why);
    }
    if (Status s = GoodsItems::check(adoPrimaryRS().database(), grdItems->items()); !s)
        return s;
    auto box = refusedFilingCell();
    if (!box)
        return box.failure();
    if (const auto [row, column] = box.value(); row >= 0)
        return Failure(ErrorNumber::ContainerRule,
                       QStringLiteral("Container %1: %2").arg(cell(row, ColContainerNo), cellRule(column)));
    return Status::ok();
}

Result<std::pair<int, int>> frmCargo::refusedFilingCell() const
{
    for (int r = 0; r < dataGrid2->rowCount(); ++r) {
        if (cell(r, ColContainerNo).isEmpty())
            continue;
        for (int c : {ColSealType, ColEqType}) {
            auto ok = cellAcceptable(adoPrimaryRS().database(), c, cell(r, c));
            if (!ok)
                return ok.failure();
            if (!ok.value())
                return std::pair{r, c};
        }
    }
    return std::pair{-1, -1};
}

bool frmCargo::checkPagesBeforeSave()
{
    if (grdItems->isEditing())
        grdItems->endEdit(true, false);
    const int page = tabPages->currentIndex();
    // the first page's fields take the focus where a rule holds them
    turnPage(0);
    if (!checkFieldsBeforeSave())
        return false;
    if (!keepsFiling())
        return true;
    for (const PageField &f : PageFields) {
        if (filingFieldProblem(f.index).isEmpty())
            continue;
        Prompter::current().beep();
        turnPage(1);
        focusField(f.index);
        showHeldField(f.index);
        return false;
    }
    auto item = GoodsItems::firstProblem(adoPrimaryRS().database(), grdItems->items());
    if (!item || item->item >= 0) {
        Prompter::current().beep();
        turnPage(1);
        grdItems->setFocus(Qt::OtherFocusReason);
        if (item)
            grdItems->selectItem(item->item, item->column);
        showHold(item ? tr("Item %1: %2").arg(item->item + 1).arg(item->why) : item.failure().numberAndText());
        return false;
    }
    auto box = refusedFilingCell();
    if (!box || box->first >= 0) {
        Prompter::current().beep();
        dataGrid2->setFocus(Qt::OtherFocusReason);
        if (box)
            dataGrid2->setCurrentCell(box->first, box->second);
        showHold(box ? cellRule(box->second) : box.failure().numberAndText());
        return false;
    }
    turnPage(page);
    return true;
}

void frmCargo::addFilingToBill(BillOfLading &bol) const
{
    if (keepsFiling())
        bol.items = grdItems->items();
}

} // namespace quarl
