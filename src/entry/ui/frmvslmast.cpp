#include "entry/ui/frmvslmast.h"

#include "browser/fieldformat.h"
#include "browser/ui/lookupcombo.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/ui/capitals.h"
#include "core/ui/screenregistry.h"
#include "entry/voyageheader.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTime>
#include <QTimer>

namespace quarl {

namespace {

enum Field {
    Id = 0,
    Name = 1,
    VoyNo = 2,
    ShipLine = 3,
    MasterName = 4,
    Nationality = 5,
    VesselCode = 6,
    PortArrival = 7,
    LastPortCode = 8,
    Grt = 11,
    Nrt = 12,
    VesselType = 13,
    CargoDesc = 23,
    TerminalOp = 24,
    AgentCode = 25,
    LightDues = 26,
    // optional: what today's manifest layout files and the older one has no place for
    ArrivalPort = 100,
    ArrivalDate = 101,
    ArrivalTime = 102,
    TerminalCode = 103,
    // what today's arrival manifest asks for (frmvslmastfiling.cpp)
    FirstFilingField = 120,
};

LookupCombo *lockable(QComboBox *combo)
{
    return static_cast<LookupCombo *>(combo);
}

} // namespace

frmVslMast::frmVslMast(QWidget *parent) : RecordBrowser(parent)
{
    setCaptions(QStringLiteral("Vessel Master"), QStringLiteral("Vessel/Voyage Information"));
    QGridLayout *grid = fieldGrid();
    grid->setColumnStretch(2, 0);
    grid->setColumnMinimumWidth(2, 24);
    grid->setColumnStretch(5, 1);

    auto place = [&](const QString &caption, int index, const char *column, int row, int col) {
        QLineEdit *edit = addField(index, QLatin1String(column));
        grid->addWidget(addLabel(caption, edit), row, col);
        grid->addWidget(edit, row, col + 1, Qt::AlignLeft);
        return edit;
    };
    auto pair = [&](QWidget *first, QWidget *second, int row, int col) { sideBySide(first, second, row, col); };

    // Left half, then right half; this is also the tab order.
    takeCapitals(place(QStringLiteral("Vessel Code"), VesselCode, "vslcode", 0, 0));
    place(QStringLiteral("Name"), Name, "vslname", 1, 0);
    takeCapitals(place(QStringLiteral("Voy. No."), VoyNo, "voyno", 2, 0));
    place(QStringLiteral("Ship Line Code"), ShipLine, "slinecode", 3, 0);
    place(QStringLiteral("Agent Code"), AgentCode, "sagentcode", 4, 0);
    place(QStringLiteral("Master Name"), MasterName, "mastername", 5, 0);
    QLineEdit *nation = place(QStringLiteral("Nationality"), Nationality, "vslnation", 6, 0);

    txtNation = new QLineEdit(fieldArea());
    txtNation->setObjectName(QStringLiteral("txtNation"));
    txtNation->setEnabled(false);
    txtNation->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 14);
    pair(nation, txtNation, 6, 1);

    auto *lastPort = new LookupCombo(fieldArea());
    lastPort->setSearchByCode(true);
    cmbLastPort = lastPort;
    cmbLastPort->setObjectName(QStringLiteral("cmbLastPort"));
    cmbLastPort->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 18);
    cmbLastPort->setMaxVisibleItems(20);
    auto *portLabel = new QLabel(QStringLiteral("Last Port 1"), fieldArea());
    portLabel->setObjectName(QStringLiteral("lblLastPort"));
    portLabel->setBuddy(cmbLastPort);
    grid->addWidget(portLabel, 7, 0);
    grid->addWidget(cmbLastPort, 7, 1, Qt::AlignLeft);
    connect(cmbLastPort, &QComboBox::currentIndexChanged, this, [this](int row) { portChosen(row); });

    place(QStringLiteral("Last Port 2"), 110, "lastport1", 0, 3);
    place(QStringLiteral("Last Port 3"), 111, "lastport2", 1, 3);
    QLineEdit *grt = place(QStringLiteral("G.R.T"), Grt, "grt", 2, 3);
    QLineEdit *portCode = addField(LastPortCode, QStringLiteral("lastport"));
    portCode->setEnabled(false);
    portCode->setToolTip(QStringLiteral("Code of Last Port 1"));
    portCode->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 6);
    pair(grt, portCode, 2, 4);
    place(QStringLiteral("N.R.T"), Nrt, "nrt", 3, 3);
    place(QStringLiteral("Vessel Type"), VesselType, "vsltype", 4, 3);
    place(QStringLiteral("Light H. Dues"), LightDues, "lhdues", 5, 3);
    place(QStringLiteral("Cargo Desc."), CargoDesc, "cargodesc", 6, 3);
    QLineEdit *arrival = place(QStringLiteral("Exp. Arrival"), ArrivalDate, "arrdt", 7, 3);
    QLineEdit *arrivalTime = addField(ArrivalTime, QStringLiteral("arrtime"));
    arrival->setToolTip(QStringLiteral("Expected arrival date, dd/mm/yyyy"));
    arrivalTime->setToolTip(QStringLiteral("Expected arrival time, H:mm"));
    arrivalTime->setMaxLength(5);
    arrivalTime->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 5);
    pair(arrival, arrivalTime, 7, 4);
    // below the right half, so that reading down each half follows the tab order
    takeCapitals(place(QStringLiteral("Port of Arrival"), ArrivalPort, "arrportcd", 8, 3));
    txtFields(ArrivalPort)->setToolTip(QStringLiteral("Port of arrival as filed, the customs code (INNSA1); empty: the custom house's"));
    takeCapitals(place(QStringLiteral("Terminal Op."), TerminalCode, "tocode", 9, 3));
    txtFields(TerminalCode)->setToolTip(QStringLiteral("Terminal operator code as filed"));

    // Bound but never shown: they keep what the row holds, apart from the two that every
    // save sets.
    const QList<std::pair<int, const char *>> hidden = {
        {Id, "Id"},           {PortArrival, "portarrival"}, {TerminalOp, "terminalop"}, {104, "samebottom"},
        {105, "shipstoredecl"}, {106, "crewdecl"},          {107, "pesslist"},          {108, "creweffdecl"},
        {109, "maridecl"}};
    for (const auto &[index, column] : hidden)
        addField(index, QLatin1String(column))->hide();

    addFilingFields();

    setFirstField(VesselCode);
    markMandatory(cmbLastPort);
    setSearch({QStringLiteral("vslcode"), QStringLiteral("Vessel Code to search ?"),
               QStringLiteral("Could not find Vessel Code")});
}

// A field with another control right of it, in the field grid's cell of the field.
void frmVslMast::sideBySide(QWidget *first, QWidget *second, int row, int col)
{
    auto *box = new QHBoxLayout;
    box->setSpacing(6);
    box->addWidget(first);
    box->addWidget(second);
    box->addStretch(1);
    fieldGrid()->removeWidget(first);
    fieldGrid()->addLayout(box, row, col);
}

QComboBox *frmVslMast::portCombo() const
{
    return cmbLastPort;
}

RecordSource frmVslMast::recordSource() const
{
    return VoyageHeader::recordSource();
}

QList<QWidget *> frmVslMast::tabOrder() const
{
    QList<QWidget *> order = RecordBrowser::tabOrder();
    order.insert(order.indexOf(txtFields(Nationality)) + 1, cmbLastPort);
    insertFilingTabOrder(order);
    return order;
}

void frmVslMast::SwitchMode(Mode mode)
{
    RecordBrowser::SwitchMode(mode);
    lockable(cmbLastPort)->setLocked(mode == Mode::Browse);
    lockFilingLists(mode == Mode::Browse);
}

void frmVslMast::loadPorts()
{
    m_portsLoaded = true;
    if (!adoPrimaryRS().isOpen())
        return;
    auto ports = VoyageHeader::ports(adoPrimaryRS().database());
    if (!ports) {
        reportFailure(ports.failure());
        return;
    }
    m_syncingPort = true;
    for (const VoyageHeader::Port &p : ports.value())
        cmbLastPort->addItem(p.name, p.code);
    m_syncingPort = false;
}

void frmVslMast::currentRowShown()
{
    if (!m_portsLoaded)
        loadPorts();
    // The combo shows the port of the code the row holds; no choice when it is not listed.
    m_syncingPort = true;
    cmbLastPort->setCurrentIndex(cmbLastPort->findData(txtFields(LastPortCode)->text().trimmed()));
    m_syncingPort = false;
    showFilingLists();
}

void frmVslMast::portChosen(int row)
{
    if (m_syncingPort || row < 0)
        return;
    setFieldText(LastPortCode, cmbLastPort->itemData(row).toString());
}

void frmVslMast::fieldTextChanged(int index)
{
    if (index == Nationality)
        showNation();
}

void frmVslMast::showNation()
{
    if (!adoPrimaryRS().isOpen()) {
        txtNation->clear();
        return;
    }
    auto name = VoyageHeader::countryName(adoPrimaryRS().database(), txtFields(Nationality)->text());
    txtNation->setText(name && name.value() ? *name.value() : QString());
}

bool frmVslMast::acceptNation()
{
    auto name = VoyageHeader::countryName(adoPrimaryRS().database(), txtFields(Nationality)->text());
    if (!name) {
        reportFailure(name.failure());
        return false;
    }
    if (!name.value()) {
        txtNation->clear();
        Prompter::current().message(QStringLiteral("Cannot find Nationality in Master .."));
        return false;
    }
    txtNation->setText(*name.value());
    return true;
}

bool frmVslMast::acceptVesselCode()
{
    const Database &db = adoPrimaryRS().database();
    auto vessel = VoyageHeader::vesselMaster(db, txtFields(VesselCode)->text());
    if (!vessel) {
        reportFailure(vessel.failure());
        return false;
    }
    if (!vessel.value()) {
        Prompter::current().message(QStringLiteral("Cannot find Vessel Name in Master .."));
        return false;
    }
    const VoyageHeader::VesselMaster &v = *vessel.value();
    const RecordSet &rs = adoPrimaryRS();
    auto show = [&](int index, const QVariant &value) {
        const int column = rs.columnIndex(fieldColumn(index));
        setFieldText(index, FieldFormat::text(rs.columnDef(column), value, db.dialect()));
    };
    show(Name, v.name);
    show(Nationality, v.nation);
    show(Grt, v.grt);
    show(Nrt, v.nrt);
    return true;
}

bool frmVslMast::acceptFieldLeave(int index)
{
    // An empty code is looked up like any other: the master has no such row, so the
    // message says why the field holds the focus.
    if (index == Nationality && !txtFields(index)->isReadOnly())
        return acceptNation();
    if (index == VesselCode && !txtFields(index)->isReadOnly())
        return acceptVesselCode();
    if (index >= FirstFilingField && !txtFields(index)->isReadOnly())
        return filingFieldProblem(index).isEmpty();
    if (index == ArrivalTime && !txtFields(index)->isReadOnly()) {
        const QString t = txtFields(index)->text().trimmed();
        const QTime time = QTime::fromString(t, QStringLiteral("H:mm"));
        if (!t.isEmpty() && !time.isValid()) {
            Prompter::current().message(QStringLiteral("\"%1\" is not a time (H:mm, 0:00 to 23:59).").arg(t));
            return false;
        }
        if (time.isValid() && time.toString(QStringLiteral("H:mm")) != txtFields(index)->text())
            setFieldText(index, time.toString(QStringLiteral("H:mm")));
    }
    return RecordBrowser::acceptFieldLeave(index);
}

bool frmVslMast::handleKey(QKeyEvent *event)
{
    const int key = event->key();
    // Last Port 1 may not be left empty on the way forward; going back is always allowed.
    const bool leaves = key == Qt::Key_Return || key == Qt::Key_Enter
                        || (key == Qt::Key_Tab && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)));
    if (leaves && focusWidget() == cmbLastPort && cmbLastPort->currentText().isEmpty()) {
        showRequired(cmbLastPort);
        return true;
    }
    return RecordBrowser::handleKey(event);
}

void frmVslMast::updateRecord()
{
    if (mode() == Mode::Browse)
        return;
    // the new fields are held to their rules also when they were never visited
    QString why;
    if (const int index = firstFilingProblem(&why); index >= 0) {
        Prompter::current().beep();
        focusField(index);
        holdReason(why);
        showHeldField(index);
        return;
    }
    RecordBrowser::updateRecord();
}

bool frmVslMast::eventFilter(QObject *watched, QEvent *event)
{
    // A click elsewhere does not leave Last Port 1 empty either.
    if (watched == cmbLastPort && event->type() == QEvent::FocusOut && cmbLastPort->currentText().isEmpty()
        && static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason
        && QApplication::focusWidget() != cmdCancel) {
        QPointer<QComboBox> guard(cmbLastPort);
        QTimer::singleShot(0, this, [this, guard] {
            if (guard && guard->isVisible() && !guard->view()->isVisible()) {
                guard->setFocus(Qt::OtherFocusReason);
                showRequired(guard);
            }
        });
    }
    return RecordBrowser::eventFilter(watched, event);
}

Status frmVslMast::writePending()
{
    QString why;
    if (firstFilingProblem(&why) >= 0)
        return Failure(ErrorNumber::InvalidArgument, why);
    setFieldText(PortArrival, VoyageHeader::portOfArrival(txtFields(ArrivalPort)->text(), txtFields(PortArrival)->text(),
                                                          Settings::customHousePort()));
    setFieldText(TerminalOp, VoyageHeader::terminalOperator(txtFields(TerminalCode)->text(), txtFields(TerminalOp)->text()));
    return RecordBrowser::writePending();
}

QUARL_REGISTER_SCREEN(frmVslMast)

} // namespace quarl
