#include "entry/ui/frmhouses.h"

#include "core/prompter.h"
#include "entry/cargorules.h"
#include "entry/filingrules.h"
#include "entry/goodsitems.h"
#include "entry/ui/codecombo.h"
#include "entry/ui/goodsitemsgrid.h"
#include "store/cargolines.h"
#include "store/filingfields.h"
#include "store/schema.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quarl {

using namespace CargoRules;

namespace {

enum class Kind { Text, BlNo, Date, Count, Number, ConsigneeCode, NotifyCode, State, Pin };

struct HouseField
{
    const char *column;
    const char *caption; // for the status line
    const char *label;   // beside the field
    bool required;
    Kind kind;
    int row;
    int col;
};

// The form in Enter order; the consignee's code type (a list) goes before its code.
const HouseField Fields[] = {
    {"blno", "House B/L No.", "House B/L No.", true, Kind::BlNo, 0, 0},
    {"bldt", "B/L Date", "Date", true, Kind::Date, 0, 2},
    {"impname", "Consignee", "Consignee", true, Kind::Text, 1, 0},
    {"impadd1", "Consignee Address", "Address", true, Kind::Text, 2, 0},
    {"impadd2", "Consignee Address", "", true, Kind::Text, 3, 0},
    {"impadd3", "Consignee Address", "", true, Kind::Text, 4, 0},
    {"cnscity", "Consignee City", "City", false, Kind::Text, 5, 0},
    {"cnsstate", "Consignee State", "State", false, Kind::State, 6, 0},
    {"cnspin", "Consignee PIN", "PIN", false, Kind::Pin, 7, 0},
    {"cnscode", "Consignee Code", "Consignee Code", false, Kind::ConsigneeCode, 9, 0},
    {"notname", "Notify", "Notify", false, Kind::Text, 1, 2},
    {"notadd1", "Notify Address", "Address", false, Kind::Text, 2, 2},
    {"notadd2", "Notify Address", "", false, Kind::Text, 3, 2},
    {"notadd3", "Notify Address", "", false, Kind::Text, 4, 2},
    {"notcity", "Notify City", "City", false, Kind::Text, 5, 2},
    {"notpan", "Notify PAN / Code", "Notify Code", false, Kind::NotifyCode, 6, 2},
    {"pkgs", "Pkgs.", "Pkgs.", true, Kind::Count, 10, 0},
    {"grosswt", "Gross Wt.", "Gross Wt.", true, Kind::Number, 10, 2},
    {"volume", "Vol.", "Vol.", false, Kind::Number, 11, 0},
    {"marks", "Marks", "Marks", true, Kind::Text, 12, 0},
    {"gdesc", "Description", "Description", true, Kind::Text, 13, 0},
};

const HouseField *fieldOf(const QLineEdit *edit)
{
    if (!edit)
        return nullptr;
    for (const HouseField &f : Fields) {
        if (edit->objectName() == QLatin1String(f.column))
            return &f;
    }
    return nullptr;
}

bool isFilingColumn(const char *column)
{
    for (const char *filing : {"cnscity", "cnsstate", "cnspin", "cnscode", "notcity", "notpan"}) {
        if (qstrcmp(column, filing) == 0)
            return true;
    }
    return false;
}

// What a house takes from its master line when it is added: the voyage, ports, movement,
// nature and the codes of the line; what it declares of its own is keyed here.
const char *const Inherited[] = {"vslcode",  "voyno",      "portload", "portdest",  "destcode",  "cargomove",
                                 "naturecargo", "itemtype", "pkgtype", "unitwt",    "unitvol",   "unocode",
                                 "imocode",  "tpregno",    "caccode",  "trmode",    "mlo",       "cargotype",
                                 "prevdec",  "nextunload", "shpname",  "shpaddr",   "shpcity",   "shpcntry"};

enum BoxColumn { BoxChosen, BoxNumber, BoxSeal, BoxStatus, BoxIso, BoxPkgs, BoxWeight, BoxColumns };

const char HouseSign[] = "H";

QString fallbackOf(const char *column)
{
    const Filing::Field *f = Filing::byColumn(QStringLiteral("cargo"), QLatin1String(column));
    return f && f->fallback ? QLatin1String(f->fallback) : QString();
}

int maxLengthOf(const char *column)
{
    if (const ColumnDef *c = Schema::column(QStringLiteral("cargo"), QLatin1String(column)); c && c->isText())
        return c->size;
    if (const Filing::Field *f = Filing::byColumn(QStringLiteral("cargo"), QLatin1String(column)); f && f->width > 0)
        return f->width;
    return 0;
}

QString numberText(const QVariant &v, bool threeDecimals)
{
    if (v.isNull() || !v.isValid())
        return QString();
    const double d = v.toDouble();
    if (threeDecimals)
        return QLocale::c().toString(d, 'f', 3);
    return QLocale::c().toString(d, 'g', 15);
}

QDate dateOf(const QString &text)
{
    QDate d = QDate::fromString(text.trimmed(), QStringLiteral("dd/MM/yyyy"));
    return d.isValid() ? d : QDate::fromString(text.trimmed(), QStringLiteral("d/M/yyyy"));
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

frmHouses::frmHouses(const Database &db, qint64 masterId, QWidget *parent)
    : QDialog(parent), m_db(db), m_masterId(masterId)
{
    setObjectName(QStringLiteral("frmHouses"));
    setWindowTitle(tr("House B/Ls"));
    build();
}

void frmHouses::build()
{
    auto *outer = new QVBoxLayout(this);
    QFont bold = font();
    bold.setBold(true);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("lblMaster"));
    m_heading->setFont(bold);
    outer->addWidget(m_heading);

    auto *top = new QHBoxLayout;
    outer->addLayout(top, 3);

    auto *left = new QVBoxLayout;
    auto *listHead = new QLabel(tr("House B/Ls"), this);
    listHead->setFont(bold);
    left->addWidget(listHead);
    m_list = new QTableWidget(0, 4, this);
    m_list->setObjectName(QStringLiteral("lstHouses"));
    m_list->setHorizontalHeaderLabels({tr("Sub"), tr("House B/L No."), tr("Consignee"), tr("Pkgs")});
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setTabKeyNavigation(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    // the consignee takes what the numbers leave, so the packages are always in sight
    QHeaderView *head = m_list->horizontalHeader();
    head->setSectionResizeMode(QHeaderView::ResizeToContents);
    head->setSectionResizeMode(2, QHeaderView::Stretch);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMinimumWidth(340);
    left->addWidget(m_list, 1);
    top->addLayout(left);

    auto *right = new QVBoxLayout;
    m_houseHeading = new QLabel(this);
    m_houseHeading->setObjectName(QStringLiteral("lblHouse"));
    m_houseHeading->setFont(bold);
    right->addWidget(m_houseHeading);
    auto *g = new QGridLayout;
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);
    right->addLayout(g);
    right->addStretch(1);
    top->addLayout(right, 1);

    m_codeType = new CodeCombo(this);
    m_codeType->setObjectName(QStringLiteral("cmbCnsCodeType"));
    const QString typeFallback = fallbackOf("cnscodetype");
    if (!typeFallback.isEmpty())
        m_codeType->setPlaceholderText(tr("%1 when empty").arg(typeFallback));
    connect(m_codeType, &CodeCombo::codeChosen, this, [this] { changed(); });

    for (const HouseField &f : Fields) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(f.column));
        if (const int size = maxLengthOf(f.column); size > 0)
            edit->setMaxLength(size);
        edit->setMinimumWidth(f.kind == Kind::Text ? 160 : 90);
        edit->installEventFilter(this);
        m_fields << edit;
        const Kind kind = f.kind;
        connect(edit, &QLineEdit::textChanged, this, [this, edit, kind](const QString &text) {
            if (m_loading)
                return;
            if (kind == Kind::BlNo || kind == Kind::Count || kind == Kind::Number) {
                // typed or pasted: what the key filter of the line lets through
                QString kept;
                for (QChar c : text) {
                    const QChar k = kind == Kind::BlNo ? c.toUpper() : c;
                    if (kind == Kind::BlNo ? blNoKey(k) : numericKey(k))
                        kept += k;
                }
                if (kept != text) {
                    const int cursor = edit->cursorPosition();
                    edit->setText(kept);
                    edit->setCursorPosition(std::min(cursor, int(kept.size())));
                    if (kind == Kind::BlNo && kept.size() < text.size())
                        setStatus(tr("House B/L No. takes capital letters and digits only"));
                    return;
                }
            }
            changed();
        });
        auto *label = new QLabel(QLatin1String(f.label), this);
        label->setBuddy(edit);
        label->setObjectName(QStringLiteral("lbl_") + QLatin1String(f.column));
        const int span = (f.col == 0 && (qstrcmp(f.column, "marks") == 0 || qstrcmp(f.column, "gdesc") == 0)) ? 3 : 1;
        g->addWidget(label, f.row, f.col);
        g->addWidget(edit, f.row, f.col + 1, 1, span);
        if (qstrcmp(f.column, "cnscode") == 0) {
            // the code type goes before the code, on the line above
            auto *typeLabel = new QLabel(tr("Code Type"), this);
            typeLabel->setObjectName(QStringLiteral("lbl_cnscodetype"));
            typeLabel->setBuddy(m_codeType);
            g->addWidget(typeLabel, f.row - 1, 0);
            g->addWidget(m_codeType, f.row - 1, 1);
            m_order << m_codeType;
        }
        m_order << edit;
    }
    m_codeType->installEventFilter(this);

    auto *bottom = new QHBoxLayout;
    outer->addLayout(bottom, 2);
    auto *boxSide = new QVBoxLayout;
    auto *boxHead = new QLabel(tr("Containers (Space chooses one of the master's)"), this);
    boxHead->setFont(bold);
    boxSide->addWidget(boxHead);
    m_boxes = new QTableWidget(0, BoxColumns, this);
    m_boxes->setObjectName(QStringLiteral("grdHouseContainers"));
    m_boxes->setHorizontalHeaderLabels({tr("House"), tr("Container No."), tr("Seal No."), tr("Status"), tr("ISO Code"),
                                        tr("Pkgs"), tr("Weight")});
    m_boxes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_boxes->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_boxes->setSelectionMode(QAbstractItemView::SingleSelection);
    m_boxes->setTabKeyNavigation(false);
    m_boxes->verticalHeader()->hide();
    m_boxes->verticalHeader()->setDefaultSectionSize(m_boxes->fontMetrics().height() + 6);
    m_boxes->setColumnWidth(BoxChosen, 50);
    m_boxes->setColumnWidth(BoxNumber, 110);
    for (int c : {BoxSeal, BoxStatus, BoxIso, BoxPkgs, BoxWeight})
        m_boxes->setColumnWidth(c, 64);
    m_boxes->horizontalHeader()->setStretchLastSection(true);
    m_boxes->installEventFilter(this);
    boxSide->addWidget(m_boxes, 1);
    bottom->addLayout(boxSide, 1);
    m_order << m_boxes;

    auto *itemSide = new QVBoxLayout;
    auto *itemHead = new QLabel(tr("Goods Items"), this);
    itemHead->setFont(bold);
    itemSide->addWidget(itemHead);
    m_items = new GoodsItemsGrid(this);
    m_items->setObjectName(QStringLiteral("grdHouseItems"));
    m_items->setEditable(true);
    m_items->setRule([this](int column, const QString &text) {
        auto problem = GoodsItems::cellProblem(m_db, column, text);
        return problem ? problem.value() : problem.failure().numberAndText();
    });
    connect(m_items, &GoodsItemsGrid::cellRefused, this, [this](const QString &why) { setStatus(why); });
    connect(m_items, &GoodsItemsGrid::cellAccepted, this, [this] {
        setStatus(QString());
        changed();
    });
    m_items->installEventFilter(this);
    m_items->editor()->installEventFilter(this);
    itemSide->addWidget(m_items, 1);
    bottom->addLayout(itemSide, 1);
    m_order << m_items;

    auto *commands = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setMinimumWidth(300);
    commands->addWidget(m_status, 1);
    auto button = [&](const char *name, const QString &caption, const QString &tip) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setToolTip(tip);
        b->setMinimumWidth(90);
        b->installEventFilter(this);
        commands->addWidget(b);
        return b;
    };
    m_new = button("cmdNewHouse", tr("&New House"), tr("Key a new house B/L under this line"));
    m_save = button("cmdSaveHouse", tr("&Save"), tr("Save the house B/L shown (Ctrl+S)"));
    m_delete = button("cmdDeleteHouse", tr("De&lete House"), tr("Delete the house B/L shown"));
    m_reread = button("cmdReadAgain", tr("&Read Again"), tr("The house B/L shown as it is stored now"));
    m_close = button("cmdCloseHouses", tr("&Close"), tr("Back to the master line (Esc)"));
    m_order << m_save;
    outer->addLayout(commands);
    connect(m_new, &QPushButton::clicked, this, [this] { newHouse(); });
    connect(m_save, &QPushButton::clicked, this, [this] { saveHouse(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { deleteHouse(); });
    connect(m_reread, &QPushButton::clicked, this, [this] { readAgain(); });
    connect(m_close, &QPushButton::clicked, this, [this] { reject(); });

    m_list->installEventFilter(this);
    connect(m_list, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
        if (m_loading || row == previous || row < 0)
            return;
        const qint64 id = m_list->item(row, 0)->data(Qt::UserRole).toLongLong();
        if (id == m_houseId)
            return;
        if (!askToDrop()) {
            m_loading = true;
            m_list->setCurrentCell(previous, 0);
            m_loading = false;
            return;
        }
        showHouse(id);
    });
    resize(1060, 680);
}

QLineEdit *frmHouses::field(const QString &column) const
{
    for (QLineEdit *e : m_fields) {
        if (e->objectName() == column)
            return e;
    }
    return nullptr;
}

QString frmHouses::statusText() const
{
    return m_status->text();
}

void frmHouses::setStatus(const QString &text)
{
    m_status->setText(text);
}

void frmHouses::changed()
{
    if (!m_loading)
        m_changed = true;
}

Status frmHouses::readMaster()
{
    auto master = loadBillOfLading(m_db, m_masterId);
    if (!master)
        return master.failure();
    if (!master->has_value())
        return Failure(ErrorNumber::RowGone, QLatin1String(DeletedElsewhere));
    m_master = **master;
    m_masterBoxes = m_master.containers;
    const auto columns = m_db.columnList(QStringLiteral("cargo"));
    if (!columns)
        return columns.failure();
    m_filing = columns.value().contains(QStringLiteral("cnscode"), Qt::CaseInsensitive);
    const auto kept = GoodsItems::isKept(m_db);
    if (!kept)
        return kept.failure();
    m_itemsKept = kept.value();
    auto line = m_db.scalar(QStringLiteral("select lineno from cargo where id = ?"), {m_masterId});
    const QString lineText = line && line->toLongLong() > 0 ? tr(", line %1").arg(line->toLongLong()) : QString();
    m_heading->setText(tr("House B/Ls of B/L %1%2 (%3 / %4)")
                           .arg(m_master.value(QStringLiteral("blno")).toString().trimmed(), lineText,
                                m_master.value(QStringLiteral("vslcode")).toString().trimmed(),
                                m_master.value(QStringLiteral("voyno")).toString().trimmed()));
    setWindowTitle(tr("House B/Ls of %1").arg(m_master.value(QStringLiteral("blno")).toString().trimmed()));
    if (m_filing && m_codeType->count() == 0) {
        if (Status s = m_codeType->fill(m_db, QStringLiteral("idcodetype"), QStringLiteral("idt_cd"), QStringLiteral("idt_desc")); !s)
            Prompter::current().message(s.failure().numberSpaceText());
    }
    for (QLineEdit *e : std::as_const(m_fields)) {
        const HouseField *f = fieldOf(e);
        const bool shown = m_filing || !isFilingColumn(f->column);
        e->setVisible(shown);
        if (QLabel *l = findChild<QLabel *>(QStringLiteral("lbl_") + QLatin1String(f->column)))
            l->setVisible(shown);
    }
    m_codeType->setVisible(m_filing);
    if (QLabel *l = findChild<QLabel *>(QStringLiteral("lbl_cnscodetype")))
        l->setVisible(m_filing);
    m_items->setEnabled(m_itemsKept);
    // container cargo has no volume of its own
    const bool boxed = isContainerised(m_master.value(QStringLiteral("naturecargo")).toString().trimmed());
    field(QStringLiteral("volume"))->setEnabled(!boxed);
    return Status::ok();
}

Status frmHouses::load(qint64 house)
{
    if (Status s = readMaster(); !s)
        return s;
    fillList(house);
    if (house == 0 && m_list->rowCount() > 0)
        house = m_list->item(0, 0)->data(Qt::UserRole).toLongLong();
    if (house != 0) {
        showHouse(house);
        m_list->setFocus(Qt::OtherFocusReason);
    } else {
        newHouse();
    }
    return Status::ok();
}

void frmHouses::fillList(qint64 select)
{
    m_loading = true;
    m_list->setRowCount(0);
    auto houses = housesOf(m_db, m_masterId);
    if (!houses) {
        Prompter::current().message(houses.failure().numberAndText());
        m_loading = false;
        return;
    }
    for (qint64 id : houses.value()) {
        auto q = m_db.query(QStringLiteral("select sublineno, blno, impname, pkgs from cargo where id = ?"), {id});
        if (!q || !q->next())
            continue;
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(c == 3 ? numberText(q->value(c), false) : q->value(c).toString().trimmed());
            item->setData(Qt::UserRole, id);
            m_list->setItem(row, c, item);
        }
        if (id == select)
            m_list->setCurrentCell(row, 0);
    }
    m_loading = false;
}

void frmHouses::clearForm()
{
    m_loading = true;
    for (QLineEdit *e : std::as_const(m_fields))
        e->clear();
    m_codeType->setCode(QString());
    m_items->clearItems();
    m_items->setCurrentCell(0, GoodsItems::ColHsCode);
    m_loading = false;
}

void frmHouses::showContainers(const QList<Container> &chosen)
{
    // the master's containers, then any of the house's that its master no longer holds
    QList<Container> rows = m_masterBoxes;
    for (const Container &c : chosen) {
        if (std::none_of(rows.cbegin(), rows.cend(), [&](const Container &m) { return m.containno == c.containno; }))
            rows << c;
    }
    m_boxes->setRowCount(0);
    for (const Container &c : rows) {
        const int row = m_boxes->rowCount();
        m_boxes->insertRow(row);
        const bool on = std::any_of(chosen.cbegin(), chosen.cend(), [&](const Container &h) { return h.containno == c.containno; });
        const QString texts[BoxColumns] = {on ? tr("Yes") : QString(), c.containno, c.sealno, c.constatus, c.isocode,
                                           c.pkgs, c.weight};
        for (int col = 0; col < BoxColumns; ++col) {
            auto *item = new QTableWidgetItem(texts[col]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_boxes->setItem(row, col, item);
        }
    }
    if (m_boxes->rowCount() > 0)
        m_boxes->setCurrentCell(0, BoxNumber);
}

void frmHouses::showHouse(qint64 id)
{
    auto house = loadBillOfLading(m_db, id);
    if (!house || !house->has_value()) {
        Prompter::current().message(house ? QLatin1String(DeletedElsewhere) : house.failure().numberAndText());
        fillList(0);
        return;
    }
    clearForm();
    m_loaded = **house;
    m_houseId = id;
    m_loading = true;
    for (QLineEdit *e : std::as_const(m_fields)) {
        const HouseField *f = fieldOf(e);
        const QVariant v = m_loaded->value(QLatin1String(f->column));
        if (f->kind == Kind::Date)
            e->setText(v.toDate().isValid() ? v.toDate().toString(QStringLiteral("dd/MM/yyyy")) : v.toString());
        else if (f->kind == Kind::Count || f->kind == Kind::Number)
            e->setText(numberText(v, f->kind == Kind::Number));
        else
            e->setText(v.toString().trimmed());
    }
    m_codeType->setCode(m_loaded->value(QStringLiteral("cnscodetype")).toString().trimmed());
    showContainers(m_loaded->containers);
    m_items->setItems(m_loaded->items.value_or(QList<GoodsItem>()));
    m_items->setCurrentCell(0, GoodsItems::ColHsCode);
    auto sub = m_db.scalar(QStringLiteral("select sublineno from cargo where id = ?"), {id});
    m_houseHeading->setText(tr("House B/L %1, sub-line %2")
                                .arg(m_loaded->value(QStringLiteral("blno")).toString().trimmed())
                                .arg(sub ? sub->toLongLong() : 0));
    for (int r = 0; r < m_list->rowCount(); ++r) {
        if (m_list->item(r, 0)->data(Qt::UserRole).toLongLong() == id)
            m_list->setCurrentCell(r, 0);
    }
    m_loading = false;
    m_changed = false;
    m_delete->setEnabled(true);
    m_reread->setEnabled(true);
    setStatus(QString());
}

void frmHouses::newHouse()
{
    if (!askToDrop())
        return;
    clearForm();
    m_loaded.reset();
    m_houseId = 0;
    m_changed = false;
    showContainers({});
    m_houseHeading->setText(tr("New house B/L"));
    m_delete->setEnabled(false);
    m_reread->setEnabled(false);
    m_loading = true;
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    m_loading = false;
    setStatus(tr("New house B/L: Enter moves on, Ctrl+S saves"));
    field(QStringLiteral("blno"))->setFocus(Qt::OtherFocusReason);
}

bool frmHouses::askToDrop()
{
    if (!m_changed)
        return true;
    return Prompter::current().askYesNo(tr("Discard what was typed for this house B/L?"), Prompter::Icon::None,
                                        tr("House B/Ls"));
}

QString frmHouses::fieldProblem(QLineEdit *edit) const
{
    const HouseField *f = fieldOf(edit);
    if (!f || !edit->isVisibleTo(this) || !edit->isEnabled())
        return {};
    const QString text = edit->text().trimmed();
    if (f->required && text.isEmpty())
        return QLatin1String(f->caption) + tr(" is required");
    switch (f->kind) {
    case Kind::Date:
        return blDateRule(text);
    case Kind::Count:
        if (!packagesAcceptable(text))
            return QLatin1String(PackagesRule);
        if (const QString why = FilingRules::wholeNumber(text); !why.isEmpty())
            return QLatin1String(f->caption) + QStringLiteral(": ") + why;
        return {};
    case Kind::Number: {
        bool ok = text.isEmpty();
        if (!ok)
            QLocale::c().toDouble(text, &ok);
        return ok ? QString() : QLatin1String(f->caption) + tr(" is a number");
    }
    case Kind::State: {
        // an Indian state by its code (01 to 38), as on the line's second page
        Result<QString> why = FilingRules::state(m_db, text, QString());
        if (!why)
            return why.failure().numberAndText();
        return why->isEmpty() ? QString() : QLatin1String(f->caption) + QStringLiteral(": ") + why.value();
    }
    case Kind::Pin: {
        const QString why = FilingRules::postalCode(text, QString());
        return why.isEmpty() ? QString() : QLatin1String(f->caption) + QStringLiteral(": ") + why;
    }
    case Kind::ConsigneeCode:
    case Kind::NotifyCode: {
        const bool consignee = f->kind == Kind::ConsigneeCode;
        const QString why = FilingRules::partyCode(text.toUpper(), consignee ? m_codeType->code() : QString(),
                                                   fallbackOf(consignee ? "cnscodetype" : "notcodetype"));
        return why.isEmpty() ? QString() : QLatin1String(f->caption) + QStringLiteral(": ") + why;
    }
    default:
        return {};
    }
}

bool frmHouses::fieldAccepted(QLineEdit *edit)
{
    const HouseField *f = fieldOf(edit);
    if (f && (f->kind == Kind::ConsigneeCode || f->kind == Kind::NotifyCode) && edit->text() != edit->text().trimmed().toUpper())
        edit->setText(edit->text().trimmed().toUpper()); // codes are filed in capitals
    const QString why = fieldProblem(edit);
    if (why.isEmpty()) {
        setStatus(QString());
        return true;
    }
    Prompter::current().beep();
    setStatus(why);
    return false;
}

void frmHouses::moveOn(QWidget *from, bool forward)
{
    const int at = int(m_order.indexOf(from));
    if (at < 0)
        return;
    for (int k = 1; k <= m_order.size(); ++k) {
        const int next = (at + (forward ? k : -k) + int(m_order.size())) % int(m_order.size());
        QWidget *w = m_order.at(next);
        if (w->isVisibleTo(this) && w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            if (auto *e = qobject_cast<QLineEdit *>(w))
                e->selectAll();
            return;
        }
    }
}

bool frmHouses::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // the buttons' Alt keys come as key presses, handled below, as on the cargo screen
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier) {
            event->accept();
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const int k = key->key();
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::AltModifier && k >= Qt::Key_0 && k <= Qt::Key_Z) {
        // the buttons' Alt keys, from any field of the screen
        const QKeySequence pressed(Qt::ALT | Qt::Key(k));
        for (QPushButton *b : {m_new, m_save, m_delete, m_reread, m_close}) {
            if (b->isVisible() && b->isEnabled() && QKeySequence::mnemonic(b->text()) == pressed) {
                if (m_items->isEditing())
                    m_items->endEdit(true, false);
                b->click();
                return true;
            }
        }
    }
    if (mods == Qt::ControlModifier && k == Qt::Key_S) {
        if (m_items->isEditing())
            m_items->endEdit(true, false);
        saveHouse();
        return true;
    }
    const bool forward = isEnter(k) || (k == Qt::Key_Tab && mods == Qt::NoModifier);
    const bool back = k == Qt::Key_Backtab || (k == Qt::Key_Tab && (mods & Qt::ShiftModifier));
    if (watched == m_items || watched == m_items->editor()) {
        if (k == Qt::Key_Escape && !m_items->isEditing()) {
            reject();
            return true;
        }
        if (m_items->handleKey(key))
            return true;
        if (forward || back) {
            moveOn(m_items, !back);
            return true;
        }
        return false;
    }
    if (watched == m_list) {
        if (forward || back) {
            m_order.first()->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }
    if (watched == m_boxes) {
        const int row = m_boxes->currentRow();
        if (k == Qt::Key_Space && mods == Qt::NoModifier && row >= 0) {
            QTableWidgetItem *mark = m_boxes->item(row, BoxChosen);
            mark->setText(mark->text().isEmpty() ? tr("Yes") : QString());
            changed();
            return true;
        }
        if (isEnter(k) && row >= 0 && row + 1 < m_boxes->rowCount()) {
            m_boxes->setCurrentCell(row + 1, BoxNumber);
            return true;
        }
        if (forward || back) {
            moveOn(m_boxes, !back);
            return true;
        }
        return false;
    }
    if (auto *b = qobject_cast<QPushButton *>(watched)) {
        if (isEnter(k)) {
            b->click();
            return true;
        }
        return false;
    }
    if (watched == m_codeType) {
        if (forward || back) {
            moveOn(m_codeType, !back);
            return true;
        }
        return false;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(watched); edit && fieldOf(edit)) {
        const HouseField *f = fieldOf(edit);
        if (f->kind == Kind::BlNo && mods == Qt::NoModifier && !key->text().isEmpty() && key->text().at(0).isPrint()
            && !blNoKey(key->text().at(0).toUpper())) {
            Prompter::current().beep();
            setStatus(tr("House B/L No. takes capital letters and digits only"));
            return true;
        }
        if (back) {
            moveOn(edit, false);
            return true;
        }
        if (forward) {
            // the rule of the field holds the cursor on the way forward
            if (fieldAccepted(edit))
                moveOn(edit, true);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

BillOfLading frmHouses::typedHouse(QList<qint64> *removed) const
{
    BillOfLading bol;
    bol.id = m_houseId;
    if (m_houseId == 0) {
        for (const char *column : Inherited) {
            const QString c = QLatin1String(column);
            if (m_master.values.contains(c))
                bol.set(c, m_master.value(c));
        }
        if (m_filing)
            bol.set(QStringLiteral("consind"), QLatin1String(HouseSign));
        bol.set(QLatin1String(HouseLinkColumn), m_masterId);
    }
    for (QLineEdit *e : m_fields) {
        const HouseField *f = fieldOf(e);
        if (!m_filing && isFilingColumn(f->column))
            continue;
        const QString text = e->text().trimmed();
        QVariant v;
        switch (f->kind) {
        case Kind::Date:
            v = dateOf(text);
            break;
        case Kind::Count:
            v = text.isEmpty() ? QVariant() : QVariant(QLocale::c().toLongLong(text));
            break;
        case Kind::Number:
            v = text.isEmpty() ? QVariant() : QVariant(QLocale::c().toDouble(text));
            break;
        default:
            v = text.isEmpty() ? QVariant() : QVariant(f->kind == Kind::Text ? e->text() : text.toUpper());
            break;
        }
        bol.set(QLatin1String(f->column), v);
        if (f->kind == Kind::State) {
            // the state's name goes with its code, as the line's second page keeps it
            QString name;
            if (!text.isEmpty())
                std::ignore = FilingRules::state(m_db, text, QString(), &name);
            bol.set(QStringLiteral("cnsstatenm"), name.isEmpty() ? QVariant() : QVariant(name));
        }
    }
    if (m_filing) {
        const QString type = m_codeType->code();
        bol.set(QStringLiteral("cnscodetype"), type.isEmpty() ? QVariant() : QVariant(type));
    }
    // the containers chosen, copied from the master's; one the house holds already keeps its row
    const QList<Container> held = m_loaded ? m_loaded->containers : QList<Container>();
    QStringList chosen;
    for (int r = 0; r < m_boxes->rowCount(); ++r) {
        if (m_boxes->item(r, BoxChosen)->text().isEmpty())
            continue;
        const QString number = m_boxes->item(r, BoxNumber)->text();
        chosen << number;
        auto source = std::find_if(m_masterBoxes.cbegin(), m_masterBoxes.cend(),
                                   [&](const Container &c) { return c.containno == number; });
        auto mine = std::find_if(held.cbegin(), held.cend(), [&](const Container &c) { return c.containno == number; });
        Container c = source != m_masterBoxes.cend() ? *source : *mine;
        c.autoid = mine != held.cend() ? mine->autoid : 0;
        bol.containers << c;
    }
    for (const Container &c : held) {
        if (!chosen.contains(c.containno) && removed)
            *removed << c.autoid;
    }
    if (m_itemsKept)
        bol.items = m_items->items();
    return bol;
}

bool frmHouses::saveHouse()
{
    if (m_items->isEditing())
        m_items->endEdit(true, false);
    for (QWidget *w : std::as_const(m_order)) {
        auto *edit = qobject_cast<QLineEdit *>(w);
        if (edit && !fieldAccepted(edit)) {
            edit->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    if (m_itemsKept) {
        auto item = GoodsItems::firstProblem(m_db, m_items->items());
        if (!item || item->item >= 0) {
            Prompter::current().beep();
            m_items->setFocus(Qt::OtherFocusReason);
            if (item)
                m_items->selectItem(item->item, item->column);
            setStatus(item ? tr("Item %1: %2").arg(item->item + 1).arg(item->why) : item.failure().numberAndText());
            return false;
        }
    }
    QList<qint64> removed;
    const BillOfLading bol = typedHouse(&removed);
    auto saved = saveBillOfLading(m_db, bol, removed, m_loaded ? &*m_loaded : nullptr);
    if (!saved) {
        // nothing was written: what was typed stays for correction
        const Failure &f = saved.failure();
        QString text = f.description;
        if (f.is(ErrorNumber::RowChanged) || f.is(ErrorNumber::RowGone))
            text += tr(" Nothing was saved; what you typed is still here. Read Again (Alt+R) shows the house as it "
                       "is stored now.");
        else if (!f.is(ErrorNumber::HouseRule) && !f.is(ErrorNumber::BlNumberTaken) && !f.is(ErrorNumber::ContainerRule)
                 && !f.is(ErrorNumber::ItemRule))
            text = f.numberAndText();
        setStatus(text);
        Prompter::current().message(text);
        return false;
    }
    const qint64 id = saved.value();
    m_changed = false;
    fillList(id);
    showHouse(id);
    setStatus(m_houseHeading->text() + tr(" saved"));
    Q_EMIT housesChanged();
    return true;
}

void frmHouses::deleteHouse()
{
    if (m_houseId == 0 || !m_loaded) {
        Prompter::current().beep();
        return;
    }
    const QString blno = m_loaded->value(QStringLiteral("blno")).toString().trimmed();
    if (!Prompter::current().askYesNo(tr("Delete house B/L %1?").arg(blno), Prompter::Icon::None, tr("Delete")))
        return;
    if (Status s = deleteBillOfLading(m_db, m_houseId, &*m_loaded); !s) {
        const QString text = s.failure().is(ErrorNumber::RowChanged) || s.failure().is(ErrorNumber::RowGone)
                               ? s.failure().description + tr(" It was not deleted.")
                               : s.failure().numberAndText();
        setStatus(text);
        Prompter::current().message(text);
        return;
    }
    m_changed = false;
    Q_EMIT housesChanged();
    if (Status s = load(); !s)
        Prompter::current().message(s.failure().numberAndText());
    setStatus(tr("House B/L %1 deleted").arg(blno));
}

void frmHouses::readAgain()
{
    if (m_houseId == 0 || !askToDrop())
        return;
    m_changed = false;
    if (Status s = load(m_houseId); !s)
        Prompter::current().message(s.failure().numberAndText());
}

void frmHouses::reject()
{
    if (!askToDrop())
        return;
    m_changed = false;
    QDialog::reject();
}

} // namespace quarl
