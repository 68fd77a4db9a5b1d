#include "entry/ui/frmcargo.h"

#include "browser/fieldformat.h"
#include "browser/ui/lookupcombo.h"
#include "core/prompter.h"
#include "core/ui/capitals.h"
#include "core/ui/screenregistry.h"
#include "entry/cargorules.h"
#include "entry/ui/goodsitemsgrid.h"
#include "manifest/containernumber.h"
#include "store/blnumbers.h"
#include "store/session.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quarl {

using namespace CargoRules;

namespace {

// Fields by index.
enum : int {
    FId = 0, FVslCode = 1, FPortLoad = 2, FUno = 4, FPortDest = 5, FImpName = 6, FImpAdd1 = 8, FImpAdd2 = 9,
    FImpAdd3 = 10, FVoyNo = 11, FCargoMove = 14, FBlNo = 15, FBlDate = 16, FNature = 18, FPkgs = 22, FGrossWt = 24,
    FImo = 25, FMarks = 26, FDesc = 27, FVolume = 101, FUnitVol = 102, FDestCode = 103, FNotName = 104,
    FNotAdd1 = 105, FNotAdd2 = 106, FNotAdd3 = 107, FTpRegNo = 108, FCacCode = 109, FTrMode = 110, FMlo = 111
};

const int TranshipmentFields[] = {FTpRegNo, FCacCode, FTrMode, FMlo};

// Carried to the next bill of lading by Carry, in this order.
const int CarriedFields[] = {FVslCode, FUno,     FPortDest, FImpName, FImpAdd1, FImpAdd2, FImpAdd3, FVoyNo, FBlDate,
                             FPkgs,    FGrossWt, FImo,      FMarks,   FDesc,    FNotName, FNotAdd1, FNotAdd2, FNotAdd3};

const int GridRowsAfterAdd = 35;

struct GridColumnDef
{
    const char *header;
    int width;
};
const GridColumnDef GridColumns[GridColumnCount] = {{"ref", 0},         {"Container No.", 250}, {"Seal No.", 100},
                                                    {"Agent Code", 80}, {"Status", 80},         {"Pkgs", 50},
                                                    {"Weight", 50},     {"ISO Code", 50},       {"SOCFlag", 40},
                                                    {"Autoid", 0},      {"Seal Type", 70},      {"Equip. Type", 70}};

// Weights and volumes read with three decimals ("12.500", "0.000"), more where they hold more.
QString threeDecimals(const QString &text)
{
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok)
        return text;
    const QString fixed = QString::number(d, 'f', 3);
    return fixed.toDouble() == d ? fixed : text;
}

const char BlNoRule[] = "B/L No. takes capital letters and digits only";

bool isPrintable(const QKeyEvent *event)
{
    const auto mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::NoModifier && !event->text().isEmpty() && event->text().at(0).isPrint();
}

} // namespace

frmCargo::frmCargo(QWidget *parent) : RecordBrowser(parent)
{
    setCaptions(QStringLiteral("Cargo Information"), QStringLiteral("Cargo Information"));
    setSearch({QStringLiteral("blno"), QStringLiteral("B/L to search ?"), QStringLiteral("Could not find b\\L")});
    setRecordNoun(QStringLiteral("bill of lading"));
    Rules r;
    r.digitsFilter = false; // this screen's own filter lets "/" through as well
    setRules(r);

    // Fields and combos in tab order; the hidden ones last.
    auto field = [this](int index, const char *column) {
        QLineEdit *e = addField(index, QLatin1String(column));
        m_tabWidgets << e;
        return e;
    };
    using CargoLookups::List;
    field(FVslCode, "vslcode");
    field(FVoyNo, "voyno");
    field(FBlNo, "blno");
    field(FBlDate, "bldt");
    cmbLoadPort = addCombo("cmbLoadPort", QStringLiteral("portload"), FPortLoad, List::LoadPort);
    cmbCargoMove = addCombo("cmbCargoMove", QStringLiteral("cargomove"), FCargoMove, List::CargoMove);
    cmbNatCargo = addCombo("cmbNatCargo", QStringLiteral("naturecargo"), FNature, List::Nature);
    for (auto [i, c] : {std::pair{FImpName, "impname"}, {FImpAdd1, "impadd1"}, {FImpAdd2, "impadd2"},
                        {FImpAdd3, "impadd3"}, {FNotName, "notname"}, {FNotAdd1, "notadd1"}, {FNotAdd2, "notadd2"},
                        {FNotAdd3, "notadd3"}, {FPortDest, "portdest"}})
        field(i, c);
    cmbItemType = addCombo("cmbItemType", QStringLiteral("itemtype"), -1, List::ItemType);
    field(FPkgs, "pkgs");
    cmbPkgType = addCombo("cmbPkgType", QStringLiteral("pkgtype"), -1, List::PackageType);
    field(FGrossWt, "grosswt");
    cmbUnitWt = addCombo("cmbUnitWt", QStringLiteral("unitwt"), -1, List::WeightUnit);
    for (auto [i, c] : {std::pair{FVolume, "volume"}, {FUnitVol, "unitvol"}, {FUno, "unocode"}, {FImo, "imocode"},
                        {FTpRegNo, "tpregno"}, {FCacCode, "caccode"}, {FTrMode, "trmode"}, {FMlo, "mlo"}})
        field(i, c);
    // Marks and Description: boxes two lines high over their bound fields, which stay hidden
    for (auto [i, name] : {std::pair{FMarks, "txtMarks"}, {FDesc, "txtDesc"}}) {
        addField(i, QLatin1String(i == FMarks ? "marks" : "gdesc"))->hide();
        auto *box = new QPlainTextEdit(fieldArea());
        box->setObjectName(QLatin1String(name));
        box->setTabChangesFocus(true);
        box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box->setFixedHeight(2 * box->fontMetrics().lineSpacing() + 2 * box->frameWidth()
                            + int(2 * box->document()->documentMargin()) + 2);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_boxes.insert(box, i);
        m_tabWidgets << box;
        connect(box, &QPlainTextEdit::textChanged, this, [this, box, index = i] { boxTextChanged(box, index); });
    }
    for (auto [i, c] : {std::pair{FPortLoad, "portload"}, {FId, "id"}, {FCargoMove, "cargomove"},
                        {FNature, "naturecargo"}, {FDestCode, "destcode"}})
        addField(i, QLatin1String(c));
    for (int i : {FId, FCargoMove, FNature, FDestCode})
        txtFields(i)->hide();
    txtFields(FPortLoad)->setEnabled(false);
    for (int i : {FVslCode, FVoyNo, FPortDest})
        takeCapitals(txtFields(i));
    setFirstField(FVslCode);

    // The container grid and its edit box.
    dataGrid2 = new QTableWidget(0, GridColumnCount, this);
    dataGrid2->setObjectName(QStringLiteral("dataGrid2"));
    dataGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dataGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
    dataGrid2->setSelectionBehavior(QAbstractItemView::SelectItems);
    dataGrid2->setTabKeyNavigation(false);
    dataGrid2->verticalHeader()->setDefaultSectionSize(dataGrid2->fontMetrics().height() + 6);
    dataGrid2->verticalHeader()->setMinimumWidth(32);
    for (int c = 0; c < GridColumnCount; ++c) {
        auto *h = new QTableWidgetItem(QLatin1String(GridColumns[c].header));
        h->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        dataGrid2->setHorizontalHeaderItem(c, h);
        // the widths of the older screen, widened where a header would be cut off
        if (GridColumns[c].width > 0)
            dataGrid2->setColumnWidth(c, std::max(GridColumns[c].width,
                                                  dataGrid2->fontMetrics().horizontalAdvance(h->text()) + 16));
    }
    dataGrid2->setColumnHidden(ColRef, true);
    dataGrid2->setColumnHidden(ColAutoid, true);
    dataGrid2->horizontalHeader()->setStretchLastSection(false);
    txtGtext = new QLineEdit(dataGrid2->viewport());
    txtGtext->setObjectName(QStringLiteral("txtGtext"));
    txtGtext->setFrame(false);
    txtGtext->hide();
    // While a container number is typed, the status line says what is wrong with it: a
    // hint only, the cell's own rules decide what is kept.
    connect(txtGtext, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_editColumn != ColContainerNo)
            return;
        const QString finding = text.trimmed().isEmpty() ? QString() : igm::containerNumberFinding(text.trimmed());
        setStatus(finding.isEmpty() ? m_statusBeforeEdit : QStringLiteral("Container No.: ") + finding);
    });
    m_tabWidgets << dataGrid2;

    cmdCarry = new QPushButton(tr("Carr&y"), this);
    cmdCarry->setObjectName(QStringLiteral("cmdCarry"));
    cmdCarry->setAutoDefault(false);
    cmdCarry->setMinimumWidth(84);
    cmdCarry->setToolTip(tr("A new bill of lading filled from this one"));
    commandRow()->insertWidget(1, cmdCarry);
    cmdDeleteC = new QPushButton(tr("&Delete"), this);
    cmdDeleteC->setObjectName(QStringLiteral("cmdDeleteC"));
    cmdDeleteC->setAutoDefault(false);
    cmdDeleteC->setToolTip(tr("Delete the selected container row"));
    connect(cmdCarry, &QPushButton::clicked, this, [this] { carryRecord(); });
    connect(cmdDeleteC, &QPushButton::clicked, this, [this] { deleteContainerRow(); });

    layOut();
    buildFilingPage();
    buildHouses();
    for (QWidget *c : {static_cast<QWidget *>(cmbLoadPort), static_cast<QWidget *>(cmbCargoMove),
                       static_cast<QWidget *>(cmbNatCargo), static_cast<QWidget *>(cmbItemType)})
        markMandatory(c);
}

QComboBox *frmCargo::addCombo(const char *name, const QString &column, int field, CargoLookups::List list)
{
    auto *c = new LookupCombo(fieldArea());
    c->setObjectName(QLatin1String(name));
    c->setSearchByCode(list == CargoLookups::List::LoadPort);
    c->setMaxVisibleItems(20);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(8);
    m_combos << ComboBinding{c, column, field, list};
    m_tabWidgets << c;
    connect(c, &QComboBox::currentIndexChanged, this, [this, c, field](int index) {
        if (m_settingCombo)
            return;
        const QString code = index >= 0 ? c->itemData(index).toString() : QString();
        m_comboCode.insert(c, code);
        if (field >= 0)
            setFieldText(field, code);
    });
    return c;
}

void frmCargo::layOut()
{
    QGridLayout *g = fieldGrid();
    g->setColumnStretch(2, 0);
    for (int c : {1, 3, 5, 7})
        g->setColumnStretch(c, 1);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);

    auto label = [this](const QString &caption, QWidget *buddy, int index) {
        auto *l = new QLabel(caption, fieldArea());
        l->setBuddy(buddy);
        l->setObjectName(index >= 0 ? QStringLiteral("lblLabels(%1)").arg(index) : QStringLiteral("lbl") + buddy->objectName().mid(3));
        return l;
    };
    // caption + one control, or + a control with a second one right of it
    auto put = [&](int row, int col, const QString &caption, QWidget *w, QWidget *beside = nullptr, int span = 1) {
        auto *b = qobject_cast<QPlainTextEdit *>(w);
        const int index = b ? m_boxes.value(b, -1) : fieldIndexOf(w);
        QLabel *l = label(caption, w, index);
        g->addWidget(l, row, col);
        if (!beside) {
            g->addWidget(w, row, col + 1, 1, span);
            return l;
        }
        auto *box = new QHBoxLayout;
        box->setSpacing(4);
        box->addWidget(w, 3);
        box->addWidget(beside, 2);
        g->addLayout(box, row, col + 1, 1, span);
        return l;
    };
    for (int i : {FVslCode, FVoyNo, FBlNo, FBlDate, FPortLoad, FPkgs, FGrossWt, FVolume, FUnitVol, FTpRegNo, FCacCode,
                  FTrMode, FMlo})
        txtFields(i)->setMinimumWidth(80);
    for (int i : {FUno, FImo})
        txtFields(i)->setMinimumWidth(60);
    for (int i : {FImpName, FImpAdd1, FImpAdd2, FImpAdd3, FNotName, FNotAdd1, FNotAdd2, FNotAdd3, FPortDest})
        txtFields(i)->setMinimumWidth(120);
    txtFields(FPortLoad)->setMaximumWidth(80);

    put(0, 0, QStringLiteral("Vessel Code"), txtFields(FVslCode));
    put(0, 2, QStringLiteral("Voy. No"), txtFields(FVoyNo));
    put(0, 4, QStringLiteral("B/L No."), txtFields(FBlNo));
    put(0, 6, QStringLiteral("B/L Date"), txtFields(FBlDate));
    put(1, 0, QStringLiteral("Load Port"), cmbLoadPort, txtFields(FPortLoad), 3);
    put(1, 4, QStringLiteral("Cargo Move"), cmbCargoMove);
    put(1, 6, QStringLiteral("Nture Cargo"), cmbNatCargo);
    put(2, 0, QStringLiteral("Importer"), txtFields(FImpName), nullptr, 3);
    put(2, 4, QStringLiteral("Notify"), txtFields(FNotName), nullptr, 3);
    const int imp[] = {FImpAdd1, FImpAdd2, FImpAdd3};
    const int notify[] = {FNotAdd1, FNotAdd2, FNotAdd3};
    for (int k = 0; k < 3; ++k) {
        put(3 + k, 0, QStringLiteral("Address"), txtFields(imp[k]), nullptr, 3);
        put(3 + k, 4, QStringLiteral("Address"), txtFields(notify[k]), nullptr, 3);
    }
    DstLabel = put(6, 0, QStringLiteral("Dest. Port"), txtFields(FPortDest));
    DstLabel->setObjectName(QStringLiteral("DstLabel"));
    put(6, 2, QStringLiteral("Item Type"), cmbItemType);
    put(6, 4, QStringLiteral("Pkgs."), txtFields(FPkgs), cmbPkgType);
    put(7, 0, QStringLiteral("Gross Wt."), txtFields(FGrossWt), cmbUnitWt);
    put(7, 2, QStringLiteral("Vol."), txtFields(FVolume));
    put(7, 4, QStringLiteral("Unit"), txtFields(FUnitVol));
    {
        // UNO and IMO share the last pair of columns
        g->addWidget(label(QStringLiteral("UNO"), txtFields(FUno), FUno), 7, 6);
        auto *box = new QHBoxLayout;
        box->setSpacing(6);
        box->addWidget(txtFields(FUno), 1);
        box->addWidget(label(QStringLiteral("IMO"), txtFields(FImo), FImo));
        box->addWidget(txtFields(FImo), 1);
        g->addLayout(box, 7, 7);
    }
    put(8, 0, QStringLiteral("TP Bond No."), txtFields(FTpRegNo));
    put(8, 2, QStringLiteral("Carrier Ag Code"), txtFields(FCacCode));
    put(8, 4, QStringLiteral("Transport Mode"), txtFields(FTrMode));
    put(8, 6, QStringLiteral("MLO"), txtFields(FMlo));
    put(9, 0, QStringLiteral("Marks"), box(FMarks), nullptr, 3);
    put(9, 4, QStringLiteral("Description"), box(FDesc), nullptr, 3);

    // The grid fills the lower half, under its own heading with the row delete.
    auto *outer = qobject_cast<QVBoxLayout *>(layout());
    const int at = outer->indexOf(fieldArea());
    auto *head = new QHBoxLayout;
    auto *title = new QLabel(tr("Containers"), this);
    title->setObjectName(QStringLiteral("lblContainers"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setMinimumHeight(cmdDeleteC->sizeHint().height()); // no jump when the button shows
    head->addWidget(title);
    head->addStretch(1);
    head->addWidget(cmdDeleteC);
    outer->insertLayout(at + 1, head);
    outer->insertWidget(at + 2, dataGrid2, 1);
    outer->setStretch(at + 3, 0); // the base's spacer below the fields
    resize(1060, 760);
}

QComboBox *frmCargo::combo(const QString &name) const
{
    for (const ComboBinding &b : m_combos) {
        if (b.combo->objectName() == name)
            return b.combo;
    }
    return nullptr;
}

QPlainTextEdit *frmCargo::box(int index) const
{
    for (auto it = m_boxes.constBegin(); it != m_boxes.constEnd(); ++it) {
        if (it.value() == index)
            return it.key();
    }
    return nullptr;
}

void frmCargo::boxTextChanged(QPlainTextEdit *box, int index)
{
    if (m_syncing)
        return;
    // a pasted line break becomes a blank; the column's size still holds
    QString text = box->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const int column = adoPrimaryRS().columnIndex(fieldColumn(index));
    const int size = column >= 0 ? adoPrimaryRS().columnDef(column).size : 0;
    if (size > 0 && text.size() > size)
        text.truncate(size);
    m_syncing = true;
    if (text != box->toPlainText()) {
        box->setPlainText(text);
        box->moveCursor(QTextCursor::End);
    }
    txtFields(index)->setText(text);
    m_syncing = false;
}

void frmCargo::fieldTextChanged(int index)
{
    if (m_syncing)
        return;
    // Text pasted into a field meets the same filter as typed keys.
    if (QLineEdit *edit = txtFields(index); edit && edit->hasFocus() && mode() != Mode::Browse) {
        const int column = adoPrimaryRS().columnIndex(fieldColumn(index));
        const bool numeric = column >= 0 && adoPrimaryRS().columnDef(column).isNumeric();
        if (index == FBlNo || numeric) {
            // small letters of a B/L number are taken as capitals, the rest is refused
            const QString typed = edit->text();
            const int cursor = edit->cursorPosition();
            QString kept;
            int keptBeforeCursor = 0;
            for (int i = 0; i < typed.size(); ++i) {
                const QChar c = index == FBlNo ? typed.at(i).toUpper() : typed.at(i);
                if (index == FBlNo ? blNoKey(c) : numericKey(c)) {
                    kept += c;
                    keptBeforeCursor += i < cursor ? 1 : 0;
                }
            }
            if (kept != typed) {
                setFieldText(index, kept);
                edit->setCursorPosition(keptBeforeCursor);
                if (index == FBlNo && kept.size() < typed.size())
                    showHold(QLatin1String(BlNoRule));
                return;
            }
        }
    }
    if (QPlainTextEdit *b = box(index)) {
        m_syncing = true;
        b->setPlainText(txtFields(index)->text());
        m_syncing = false;
    }
}

RecordSource frmCargo::recordSource() const
{
    RecordSource source{QStringLiteral("cargo"), QString(), {}, QStringLiteral("id")};
    // What the screen shows decides whether another workstation's change makes it stale;
    // the line numbers every report rewrites do not.
    source.compared = cargoColumns();
    return source;
}

Result<Database> frmCargo::openDatabase()
{
    auto db = RecordBrowser::openDatabase();
    if (db)
        fillCombos(db.value());
    return db;
}

void frmCargo::fillCombos(const Database &db)
{
    m_settingCombo = true;
    for (const ComboBinding &b : std::as_const(m_combos)) {
        b.combo->clear();
        auto items = CargoLookups::items(db, b.list);
        if (!items) {
            // one look-up list failing leaves only its combo empty
            Prompter::current().message(items.failure().numberSpaceText());
            continue;
        }
        for (const CargoLookups::Item &item : items.value())
            b.combo->addItem(item.text, item.code);
        b.combo->setCurrentIndex(-1);
    }
    m_settingCombo = false;
}

void frmCargo::setComboCode(QComboBox *c, const QString &code)
{
    m_settingCombo = true;
    c->setCurrentIndex(code.isEmpty() ? -1 : c->findData(code));
    m_settingCombo = false;
    m_comboCode.insert(c, code);
}

bool frmCargo::isMandatoryCombo(const QWidget *w) const
{
    return w && (w == cmbLoadPort || w == cmbNatCargo || w == cmbItemType || w == cmbCargoMove);
}

QList<QWidget *> frmCargo::tabOrder() const
{
    QList<QWidget *> order = m_tabWidgets;
    for (int i = 0; i < commandRow()->count(); ++i) {
        if (QWidget *w = commandRow()->itemAt(i)->widget(); w && (w->focusPolicy() & Qt::TabFocus))
            order << w;
    }
    order << cmdDeleteC;
    return order;
}

void frmCargo::applyButtonRights()
{
    RecordBrowser::applyButtonRights();
    cmdCarry->setEnabled(cmdAdd->isEnabled());
    cmdHouses->setEnabled(cmdAdd->isEnabled() || cmdEdit->isEnabled());
}

// ---------------------------------------------------------------- modes and display

void frmCargo::SwitchMode(Mode mode)
{
    if (m_editRow >= 0)
        endCellEdit(false, false);
    RecordBrowser::SwitchMode(mode);
    const bool browse = mode == Mode::Browse;
    cmdCarry->setVisible(browse);
    cmdDeleteC->setVisible(!browse);
    txtFields(FPortDest)->hide();
    DstLabel->hide();
    for (QPlainTextEdit *b : m_boxes.keys())
        b->setReadOnly(browse);
    if (browse) {
        for (int i : {FVolume, FUnitVol, FTpRegNo, FCacCode, FTrMode, FMlo})
            txtFields(i)->setEnabled(true);
    }
    m_gridOpen = isContainerised(txtFields(FNature)->text());
    switchFilingPage(mode);
}

void frmCargo::currentRowShown()
{
    for (const ComboBinding &b : std::as_const(m_combos)) {
        const QString code = b.field >= 0 ? txtFields(b.field)->text() : adoPrimaryRS().value(b.column).toString().trimmed();
        setComboCode(b.combo, code);
    }
    for (int i : {FGrossWt, FVolume})
        setFieldText(i, threeDecimals(txtFields(i)->text()));
    if (m_freshGrid) {
        m_freshGrid = false;
        dataGrid2->setRowCount(0);
        m_gridContainers.clear();
    } else {
        loadGrid();
    }
    m_selectionReset = true;
    showFilingPage();
    showHouseLink();
}

void frmCargo::loadGrid()
{
    if (m_editRow >= 0)
        endCellEdit(false, false);
    dataGrid2->clearContents();
    dataGrid2->setRowCount(0);
    const RecordSet &rs = adoPrimaryRS();
    QList<Container> containers;
    if (rs.isOpen() && rs.hasCurrent() && rs.editMode() != RecordSet::EditMode::Add) {
        auto loaded = loadContainers(rs.database(), rs.value(QStringLiteral("id")).toLongLong());
        if (loaded)
            containers = loaded.value();
        else
            Prompter::current().message(loaded.failure().numberAndText());
    }
    m_gridContainers = containers;
    dataGrid2->setRowCount(containerGridRows(int(containers.size())));
    for (int r = 0; r < containers.size(); ++r) {
        const Container &c = containers.at(r);
        const QString texts[GridColumnCount] = {rs.value(QStringLiteral("id")).toString(), c.containno, c.sealno,
                                                c.agentcode, c.constatus, c.pkgs, c.weight, c.isocode, c.socflag,
                                                QString::number(c.autoid), c.sealtype, c.eqtype};
        for (int col = 0; col < GridColumnCount; ++col)
            setCell(r, col, texts[col]);
    }
}

QString frmCargo::cell(int row, int column) const
{
    const QTableWidgetItem *item = dataGrid2->item(row, column);
    return item ? item->text() : QString();
}

void frmCargo::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= dataGrid2->rowCount())
        return; // never beyond the last row
    if (QTableWidgetItem *item = dataGrid2->item(row, column)) {
        item->setText(text);
        return;
    }
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    dataGrid2->setItem(row, column, item);
}

bool frmCargo::gridAcceptsEdits() const
{
    return mode() != Mode::Browse && m_gridOpen;
}

// ---------------------------------------------------------------- field rules

void frmCargo::runSwitches()
{
    const bool ti = isTranshipment(txtFields(FCargoMove)->text());
    if (!ti) {
        for (int i : TranshipmentFields)
            setFieldText(i, QString());
        setFieldText(FPortDest, QString());
    }
    txtFields(FPortDest)->setVisible(ti);
    DstLabel->setVisible(ti);
    for (int i : TranshipmentFields)
        txtFields(i)->setEnabled(ti);

    m_gridOpen = isContainerised(txtFields(FNature)->text());
    if (m_gridOpen) {
        setFieldText(FVolume, QString());
        setFieldText(FUnitVol, QString());
    }
    txtFields(FVolume)->setEnabled(!m_gridOpen);
    txtFields(FUnitVol)->setEnabled(!m_gridOpen);
}

bool frmCargo::acceptFieldLeave(int index)
{
    if (mode() == Mode::Browse && !m_freshGrid)
        return true;
    runSwitches();
    if (!RecordBrowser::acceptFieldLeave(index))
        return false;
    const QLineEdit *edit = txtFields(index);
    if (!edit || edit->isReadOnly() || !edit->isEnabled())
        return true;
    const QString text = edit->text();
    const Database &db = adoPrimaryRS().database();
    auto lookedUp = [](const Result<bool> &r) {
        if (!r) {
            Prompter::current().message(r.failure().numberAndText());
            return false;
        }
        return r.value();
    };
    switch (index) {
    case FPkgs:
        if (!packagesAcceptable(text)) {
            holdReason(QLatin1String(PackagesRule));
            return false;
        }
        return true;
    case FBlDate:
        if (const QString rule = blDateRule(text); !rule.isEmpty()) {
            holdReason(rule);
            return false;
        }
        return true;
    case FPortDest:
        if (!lookedUp(portCodeAcceptable(db, text))) {
            holdReason(QStringLiteral("Dest. Port is not a code of the port list"));
            return false;
        }
        return true;
    case FUno:
        return lookedUp(unoCodeAcceptable(db, text));
    case FImo:
        return lookedUp(imoCodeAcceptable(db, text));
    case FTrMode:
        if (!transportModeAcceptable(text)) {
            Prompter::current().message(QLatin1String(TransportModeMessage));
            return false;
        }
        return true;
    default:
        return filingFieldProblem(index).isEmpty();
    }
}

// ---------------------------------------------------------------- keys

bool frmCargo::isCommandKey(const QKeyEvent *event) const
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_F7 && mods == Qt::NoModifier)
        return true;
    if (event->key() == Qt::Key_E && mods == Qt::ControlModifier)
        return mode() == Mode::Browse;
    return RecordBrowser::isCommandKey(event);
}

bool frmCargo::handleKey(QKeyEvent *event)
{
    QWidget *focus = focusWidget();
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_F7 && mods == Qt::NoModifier) {
        openVoyageScreen();
        return true;
    }
    // Escape in a cell's edit box or a grid belongs to it; elsewhere it would cancel.
    const bool inGrid = focus == txtGtext || focus == dataGrid2 || (grdItems && (focus == grdItems || focus == grdItems->editor()));
    if (key == Qt::Key_Escape && !inGrid && mode() == Mode::Add && !discardNewAllowed())
        return true;
    if (focus == txtGtext)
        return handleEditorKey(event);
    if (focus == dataGrid2)
        return handleGridKey(event);
    if (grdItems && (focus == grdItems || focus == grdItems->editor()))
        return handleItemsKey(event);
    if (key == Qt::Key_E && mods == Qt::ControlModifier && mode() == Mode::Browse) {
        editRecord();
        return true;
    }
    if (auto *b = qobject_cast<QPlainTextEdit *>(focus); b && m_boxes.contains(b)) {
        const bool forward = key == Qt::Key_Return || key == Qt::Key_Enter || (key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        if (forward || key == Qt::Key_Backtab || key == Qt::Key_Tab) {
            // Enter, also Ctrl+Enter, never puts a line break in: it moves on as Tab does.
            // Going back is always allowed; the rules hold on the way forward.
            if (mode() == Mode::Browse || !forward || acceptFieldLeave(m_boxes.value(b)))
                moveFocus(forward);
            else
                showRequired(b);
            return true;
        }
        return RecordBrowser::handleKey(event);
    }
    const bool leaving = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab;
    const bool back = key == Qt::Key_Backtab || (key == Qt::Key_Tab && (mods & Qt::ShiftModifier));
    if (back && mode() != Mode::Browse && fieldIndexOf(focus) >= 0)
        runSwitches(); // the rules wait for the way forward, the switches do not
    if (auto *c = qobject_cast<QComboBox *>(focus)) {
        if (leaving && !back && isMandatoryCombo(c) && c->currentText().isEmpty()) {
            showRequired(c); // a look-up that must be chosen keeps the focus, in every mode
            return true;
        }
        if (mode() == Mode::Browse && !leaving && !RecordBrowser::isCommandKey(event))
            return true; // locked while browsing
    }
    if (const int index = fieldIndexOf(focus); index >= 0 && isPrintable(event)) {
        const QChar ch = event->text().at(0);
        const int column = adoPrimaryRS().columnIndex(fieldColumn(index));
        const bool numeric = column >= 0 && adoPrimaryRS().columnDef(column).isNumeric();
        if (index == FBlNo && !blNoKey(ch.toUpper())) {
            Prompter::current().beep();
            showHold(QStringLiteral("%1: \"%2\" is refused").arg(QLatin1String(BlNoRule), ch));
            return true;
        }
        if (numeric && !numericKey(ch))
            return true;
    }
    return RecordBrowser::handleKey(event);
}

bool frmCargo::handleGridKey(QKeyEvent *event)
{
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier && key == Qt::Key_S) {
        updateRecord();
        return true;
    }
    if (mods == Qt::ControlModifier && key == Qt::Key_E && mode() == Mode::Browse) {
        editRecord();
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return RecordBrowser::handleKey(event);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!gridAcceptsEdits())
            return RecordBrowser::handleKey(event);
        startCellEdit(QString(), true);
        return true;
    }
    if (key == Qt::Key_Escape)
        return true; // Esc belongs to the grid here; the typed containers are not cancelled by it
    if (isPrintable(event)) {
        if (gridAcceptsEdits())
            startCellEdit(event->text(), false);
        else
            Prompter::current().beep();
        return true;
    }
    return false; // arrows, Home, End, Page keys: the grid's own
}

bool frmCargo::handleEditorKey(QKeyEvent *event)
{
    const int key = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab) {
        endCellEdit(true, true);
        return true;
    }
    if (key == Qt::Key_Escape) {
        endCellEdit(false, false);
        return true;
    }
    if (mods == Qt::ControlModifier && key == Qt::Key_S) {
        endCellEdit(true, false);
        updateRecord();
        return true;
    }
    return false;
}

void frmCargo::gridFocused()
{
    if (!m_selectionReset)
        return;
    m_selectionReset = false;
    if (dataGrid2->rowCount() == 0)
        dataGrid2->setRowCount(GridRowsAfterAdd);
    dataGrid2->setCurrentCell(0, ColContainerNo);
}

void frmCargo::startCellEdit(const QString &typed, bool keepValue)
{
    const int row = dataGrid2->currentRow();
    const int col = dataGrid2->currentColumn();
    if (row < 0 || col < 0)
        return;
    m_editRow = row;
    m_editColumn = col;
    m_statusBeforeEdit = statusText();
    const QModelIndex index = dataGrid2->model()->index(row, col);
    txtGtext->setGeometry(dataGrid2->visualRect(index));
    txtGtext->setPalette(dataGrid2->palette());
    txtGtext->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    txtGtext->setText(keepValue ? cell(row, col) : typed);
    txtGtext->show();
    txtGtext->setFocus(Qt::OtherFocusReason);
    // the cursor after the last character that is not a blank
    const QString t = txtGtext->text();
    int end = int(t.size());
    while (end > 0 && t.at(end - 1).isSpace())
        --end;
    txtGtext->setCursorPosition(end);
}

void frmCargo::endCellEdit(bool store, bool moveOn)
{
    const int row = m_editRow;
    const int col = m_editColumn;
    if (row < 0)
        return;
    if (col == ColContainerNo)
        setStatus(m_statusBeforeEdit);
    m_editRow = m_editColumn = -1;
    if (store)
        setCell(row, col, txtGtext->text());
    if (txtGtext->hasFocus())
        dataGrid2->setFocus(Qt::OtherFocusReason); // before hiding, so the focus goes nowhere else
    txtGtext->hide();

    auto ok = cellAcceptable(adoPrimaryRS().database(), col, cell(row, col));
    if (!ok)
        Prompter::current().message(ok.failure().numberAndText());
    const bool accepted = ok && ok.value();
    if (accepted)
        clearHold();
    else if (ok)
        showHold(cellRule(col));
    if (const int target = copyTargetColumn(col); target >= 0 && row > 0 && cell(row, target).isEmpty())
        setCell(row, target, cell(row - 1, target));
    if (!moveOn || !accepted) {
        dataGrid2->setCurrentCell(row, col); // a refused cell keeps the selection
        return;
    }
    // left to right through the visible columns (Autoid is hidden, seal and equipment type
    // follow SOC Flag where the database keeps them), then the next container
    int next = col + 1;
    while (next < GridColumnCount && dataGrid2->isColumnHidden(next))
        ++next;
    if (next < GridColumnCount)
        dataGrid2->setCurrentCell(row, next);
    else if (row + 1 < dataGrid2->rowCount())
        dataGrid2->setCurrentCell(row + 1, ColContainerNo); // the next container
}

bool frmCargo::eventFilter(QObject *watched, QEvent *event)
{
    if (filingPageKey(watched, event))
        return true;
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == dataGrid2)
            gridFocused();
        break;
    case QEvent::FocusOut:
        if (watched == txtGtext && m_editRow >= 0) {
            // a click elsewhere keeps what was typed into the cell
            endCellEdit(true, false);
        } else if (auto *c = qobject_cast<QComboBox *>(watched); c && isMandatoryCombo(c) && c->currentText().isEmpty()) {
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason == Qt::MouseFocusReason && QApplication::focusWidget() != cmdCancel) {
                QPointer<QComboBox> guard(c);
                QTimer::singleShot(0, this, [guard] {
                    if (guard && guard->isVisible() && !guard->view()->isVisible())
                        guard->setFocus(Qt::OtherFocusReason);
                });
            }
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        if (mode() == Mode::Browse && qobject_cast<QComboBox *>(watched))
            return true; // combos are locked while browsing
        if (watched == dataGrid2->viewport() && event->type() == QEvent::MouseButtonDblClick && gridAcceptsEdits()) {
            QTimer::singleShot(0, this, [this] { startCellEdit(QString(), true); });
        }
        break;
    default:
        break;
    }
    return RecordBrowser::eventFilter(watched, event);
}

// ---------------------------------------------------------------- commands

void frmCargo::addRecord()
{
    if (mode() != Mode::Browse || !adoPrimaryRS().isOpen())
        return;
    m_freshGrid = true;
    m_removedAutoids.clear();
    RecordBrowser::addRecord();
    if (mode() == Mode::Add)
        m_enteredAtAdd = entered();
}

void frmCargo::editRecord()
{
    // the edit starts on the page the clerk was reading
    const int page = tabPages->currentIndex();
    RecordBrowser::editRecord();
    if (mode() != Mode::Edit || page <= 0 || !tabPages->isTabEnabled(page))
        return;
    QWidget *pageWidget = tabPages->widget(page);
    for (QWidget *w : tabOrder()) {
        if (pageWidget->isAncestorOf(w) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            auto *edit = qobject_cast<QLineEdit *>(w);
            if (edit && edit->isReadOnly())
                continue;
            tabPages->setCurrentIndex(page);
            if (page == 1)
                consigneeFromImporter(); // as on turning to the page
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

frmCargo::Entered frmCargo::entered() const
{
    Entered e;
    for (int index : fieldIndexes())
        e.texts << txtFields(index)->text();
    for (const ComboBinding &b : m_combos)
        e.texts << comboCode(b.combo);
    for (int r = 0; r < dataGrid2->rowCount(); ++r) {
        for (int c = 0; c < GridColumnCount; ++c)
            e.texts << cell(r, c);
    }
    BillOfLading filing;
    addFilingToBill(filing);
    for (auto it = filing.values.constBegin(); it != filing.values.constEnd(); ++it)
        e.texts << it.key() << it.value().toString();
    e.items = filing.items;
    return e;
}

bool frmCargo::discardNewAllowed()
{
    if (m_editRow >= 0)
        endCellEdit(true, false); // what the open cell holds counts as typed
    if (m_enteredAtAdd && entered() == *m_enteredAtAdd)
        return true; // untouched since Add or Carry: cancelled at once
    return Prompter::current().askYesNoDefaultNo(QStringLiteral("Discard the B/L being added?"), Prompter::Icon::Warning);
}

void frmCargo::carryRecord()
{
    if (mode() != Mode::Browse || !adoPrimaryRS().isOpen() || !cmdCarry->isEnabled())
        return;
    if (!adoPrimaryRS().hasCurrent()) {
        addRecord();
        return;
    }
    QList<QString> codes;
    for (const ComboBinding &b : std::as_const(m_combos))
        codes << comboCode(b.combo);
    QList<QString> texts;
    for (int i : CarriedFields)
        texts << txtFields(i)->text();
    const QStringList filing = carriedFilingTexts();

    addRecord();
    if (mode() != Mode::Add)
        return;
    for (int k = 0; k < m_combos.size(); ++k) {
        setComboCode(m_combos.at(k).combo, codes.at(k));
        if (m_combos.at(k).field >= 0)
            setFieldText(m_combos.at(k).field, codes.at(k));
    }
    int k = 0;
    for (int i : CarriedFields)
        setFieldText(i, texts.at(k++));
    restoreCarriedFiling(filing);
    m_gridOpen = isContainerised(txtFields(FNature)->text());
    dataGrid2->setRowCount(0);
    m_enteredAtAdd = entered(); // what Carry brought is not typed
    focusField(FVslCode);
}

void frmCargo::cancelRecord()
{
    if (mode() == Mode::Browse)
        return;
    if (m_editRow >= 0)
        endCellEdit(false, false);
    m_removedAutoids.clear();
    m_freshGrid = false;
    RecordBrowser::cancelRecord();
    focusAdd();
}

Result<BillOfLading> frmCargo::typedBillOfLading() const
{
    const RecordSet &rs = adoPrimaryRS();
    BillOfLading bol;
    if (mode() == Mode::Edit)
        bol.id = rs.value(QStringLiteral("id")).toLongLong();
    for (int index : fieldIndexes()) {
        if (index == FId)
            continue;
        const int column = rs.columnIndex(fieldColumn(index));
        if (column < 0)
            continue; // a field of a newer release on a database not yet upgraded
        auto value = FieldFormat::value(rs.columnDef(column), txtFields(index)->text(), rs.database().dialect());
        if (!value) {
            QString caption = fieldColumn(index);
            for (QLabel *l : findChildren<QLabel *>()) {
                if (l->buddy() == txtFields(index))
                    caption = l->text();
            }
            return Failure(value.failure().code, caption + QStringLiteral(": ") + value.failure().description);
        }
        bol.set(fieldColumn(index), value.value());
    }
    for (const ComboBinding &b : m_combos) {
        if (b.field < 0) {
            const QString code = comboCode(b.combo);
            bol.set(b.column, code.isEmpty() ? QVariant() : QVariant(code));
        }
    }
    for (int r = 0; r < dataGrid2->rowCount(); ++r) {
        if (cell(r, ColContainerNo).isEmpty())
            continue;
        bol.containers << Container{cell(r, ColAutoid).toLongLong(), cell(r, ColContainerNo), cell(r, ColSealNo),
                                    cell(r, ColAgentCode), cell(r, ColStatus),     cell(r, ColPkgs),
                                    cell(r, ColWeight),    cell(r, ColIsoCode),    cell(r, ColSocFlag),
                                    cell(r, ColSealType),  cell(r, ColEqType)};
    }
    addFilingToBill(bol);
    return bol;
}

bool frmCargo::checkBeforeSave()
{
    return checkPagesBeforeSave();
}

bool frmCargo::checkFieldsBeforeSave()
{
    if (m_editRow >= 0)
        endCellEdit(true, false);
    // The rules run as each field is left; a field never visited is held to them here.
    for (QWidget *w : std::as_const(m_tabWidgets)) {
        if (!w->isVisibleTo(this) || !w->isEnabled())
            continue;
        if (auto *c = qobject_cast<QComboBox *>(w); c && isMandatoryCombo(c) && c->currentText().isEmpty()) {
            Prompter::current().beep();
            c->setFocus(Qt::OtherFocusReason);
            showRequired(c);
            return false;
        }
        auto *b = qobject_cast<QPlainTextEdit *>(w);
        const int index = b ? m_boxes.value(b, -1) : fieldIndexOf(w);
        if (index >= 0 && !acceptFieldLeave(index)) {
            if (index != FTrMode)
                Prompter::current().beep();
            if (b) {
                b->setFocus(Qt::OtherFocusReason);
                showRequired(b); // a box's only rule
            } else {
                focusField(index);
                showHeldField(index);
            }
            return false;
        }
    }
    return true;
}

BillOfLading frmCargo::shownBillOfLading() const
{
    const RecordSet &rs = adoPrimaryRS();
    const bool editing = rs.editMode() == RecordSet::EditMode::Edit;
    BillOfLading bol;
    bol.id = (editing ? rs.originalValue(rs.columnIndex(QStringLiteral("id"))) : rs.value(QStringLiteral("id"))).toLongLong();
    for (const QString &c : cargoColumns()) {
        const int column = rs.columnIndex(c);
        if (column >= 0)
            bol.set(c, editing ? rs.originalValue(column) : rs.value(column));
    }
    bol.containers = m_gridContainers;
    bol.items = m_shownItems;
    return bol;
}

Status frmCargo::writePending()
{
    if (m_editRow >= 0)
        endCellEdit(true, false);
    if (Status s = filingFieldsValid(); !s)
        return s;
    auto bol = typedBillOfLading();
    if (!bol)
        return bol.failure();
    const BillOfLading *asLoaded = mode() == Mode::Edit && m_asLoaded ? &*m_asLoaded : nullptr;
    auto saved = saveBillOfLading(adoPrimaryRS().database(), bol.value(), m_removedAutoids, asLoaded);
    if (!saved)
        return saved.failure(); // nothing was written: the typed bill of lading stays for correction
    m_savedId = saved.value();
    m_removedAutoids.clear();
    m_asLoaded.reset();
    return Status::ok();
}

void frmCargo::positionAfterSave(bool added)
{
    // The saved bill of lading as stored: an added one is the last row, an edited one stays.
    m_freshGrid = false;
    if (Status s = adoPrimaryRS().adoptRow(QStringLiteral("id"), m_savedId, added); !s)
        reportFailure(s.failure());
}

void frmCargo::editStarted()
{
    m_removedAutoids.clear();
    m_asLoaded = shownBillOfLading();
}

Status frmCargo::beforeDeleteRow()
{
    // The containers and goods items go with their bill of lading, as long as the
    // containers are the ones shown.
    const RecordSet &rs = adoPrimaryRS();
    const qint64 id = rs.value(QStringLiteral("id")).toLongLong();
    if (Status s = deleteContainersOf(rs.database(), id, &m_gridContainers); !s)
        return s;
    if (Status s = GoodsItems::remove(rs.database(), id); !s)
        return s;
    auto houses = deleteHousesOf(rs.database(), id);
    if (!houses)
        return houses.failure();
    m_housesDeleted = houses.value();
    return Status::ok();
}

QString frmCargo::deleteQuestion() const
{
    if (const QString houses = housesDeleteQuestion(); !houses.isEmpty())
        return houses;
    const RecordSet &rs = adoPrimaryRS();
    return QStringLiteral("Confirm Deletion ?\n\nB/L No. %1 of %2 / %3")
        .arg(rs.value(QStringLiteral("blno")).toString().trimmed(), rs.value(QStringLiteral("vslcode")).toString().trimmed(),
             rs.value(QStringLiteral("voyno")).toString().trimmed());
}

void frmCargo::deleteRecord()
{
    m_housesDeleted = 0;
    RecordBrowser::deleteRecord();
    // the houses that went with their master leave the records shown too
    if (m_housesDeleted > 0)
        refreshRecords();
}

void frmCargo::reportUpdateFailure(const Failure &failure)
{
    if (failure.is(ErrorNumber::BlNumberTaken)) {
        Prompter::current().message(failure.description);
        focusField(FBlNo);
        showHold(failure.description);
    } else if (failure.is(ErrorNumber::ContainerRule) || failure.is(ErrorNumber::ItemRule) || failure.is(ErrorNumber::HouseRule)
               || failure.code == QString::number(ErrorNumber::InvalidArgument)) {
        Prompter::current().message(failure.description);
    } else {
        Prompter::current().message(failure.numberAndText());
    }
}

void frmCargo::deleteContainerRow()
{
    if (mode() == Mode::Browse)
        return;
    if (m_editRow >= 0)
        endCellEdit(false, false);
    const int row = dataGrid2->currentRow();
    bool empty = true;
    for (int c = 0; row >= 0 && c < GridColumnCount && empty; ++c)
        empty = cell(row, c).isEmpty();
    if (empty) {
        Prompter::current().beep();
        return;
    }
    const QString number = cell(row, ColContainerNo).trimmed();
    const QString question = number.isEmpty() ? QStringLiteral("Confirm Deletion ?")
                                               : QStringLiteral("Confirm Deletion ?\n\nContainer %1").arg(number);
    if (!Prompter::current().askYesNo(question, Prompter::Icon::None, QStringLiteral("Delete")))
        return;
    // Only the container goes: a stored one with the next save, in its transaction, so that
    // Cancel or a refused save removes nothing; the rest of the bill of lading stays as typed.
    if (const qint64 autoid = cell(row, ColAutoid).toLongLong(); autoid > 0)
        m_removedAutoids << autoid;
    dataGrid2->removeRow(row);
    dataGrid2->setFocus(Qt::OtherFocusReason);
    if (dataGrid2->rowCount() > 0)
        dataGrid2->setCurrentCell(std::min(row, dataGrid2->rowCount() - 1), ColContainerNo);
}

void frmCargo::openVoyageScreen()
{
    if (mode() != Mode::Browse)
        openScreenBeside(QStringLiteral("frmVslMast"));
}

QUARL_REGISTER_SCREEN(frmCargo)

} // namespace quarl
