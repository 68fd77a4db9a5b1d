// The voyage screen's fields for today's arrival manifest, below those of the flat file.
#include "entry/ui/frmvslmast.h"

#include "entry/filingrules.h"
#include "entry/ui/codecombo.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTime>

namespace quarl {

namespace {

enum FilingField {
    Vcn = 120,
    DepartureDate = 121,
    DepartureTime = 122,
    PurposeCode = 123, // hidden: the code of cmbPurpose
    ShipTypeCode = 124, // hidden: the code of cmbShipType
    Crew = 125,
    Passengers = 126,
    NextPort1 = 127,
    NextPort2 = 128,
    NextPort3 = 129,
    CarrierCode = 130,
    LineBond = 131,
};

const int NextPorts[] = {NextPort1, NextPort2, NextPort3};

const char *caption(int index)
{
    switch (index) {
    case Vcn: return "VCN";
    case DepartureDate: return "Exp. Departure";
    case DepartureTime: return "Departure time";
    case Crew: return "Crew";
    case Passengers: return "Passengers";
    case NextPort1: return "Next Port 1";
    case NextPort2: return "Next Port 2";
    case NextPort3: return "Next Port 3";
    case CarrierCode: return "Carrier Code";
    case LineBond: return "Line Bond No.";
    default: return "";
    }
}

} // namespace

void frmVslMast::addFilingFields()
{
    QGridLayout *grid = fieldGrid();
    const int top = grid->rowCount();
    auto *rule = new QFrame(fieldArea());
    rule->setObjectName(QStringLiteral("lineFiling"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    grid->addWidget(rule, top, 0, 1, 6);
    auto *head = new QLabel(tr("For the arrival manifest (SCMTR)"), fieldArea());
    head->setObjectName(QStringLiteral("lblFiling"));
    QFont bold = head->font();
    bold.setBold(true);
    head->setFont(bold);
    grid->addWidget(head, top + 1, 0, 1, 3);

    const int chars = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    auto place = [&](int index, const char *column, int row, int col) {
        QLineEdit *edit = addField(index, QLatin1String(column));
        grid->addWidget(addLabel(QLatin1String(caption(index)), edit), row, col);
        grid->addWidget(edit, row, col + 1, Qt::AlignLeft);
        return edit;
    };
    auto combo = [&](CodeCombo *&c, const char *name, const QString &caption, int hidden, const char *column, int row,
                     int col) {
        addField(hidden, QLatin1String(column))->hide();
        c = new CodeCombo(fieldArea());
        c->setObjectName(QLatin1String(name));
        c->setMinimumWidth(chars * 18);
        auto *label = new QLabel(caption, fieldArea());
        label->setObjectName(QStringLiteral("lbl") + QLatin1String(name).mid(3));
        label->setBuddy(c);
        grid->addWidget(label, row, col);
        grid->addWidget(c, row, col + 1, Qt::AlignLeft);
        connect(c, &CodeCombo::codeChosen, this, [this, hidden](const QString &code) { setFieldText(hidden, code); });
    };

    // Left half, then right half, as the fields above; this is also the tab order.
    const int r = top + 2;
    place(Vcn, "vcn", r, 0)->setToolTip(tr("Voyage call number given by the port (VCN)"));
    combo(cmbPurpose, "cmbPurpose", tr("Purpose of Call"), PurposeCode, "purpcall", r + 1, 0);
    QLineEdit *crew = place(Crew, "crewcount", r + 2, 0);
    QLineEdit *passengers = addField(Passengers, QStringLiteral("paxcount"));
    auto *paxLabel = addLabel(QLatin1String(caption(Passengers)), passengers);
    for (QLineEdit *e : {crew, passengers})
        e->setMaximumWidth(chars * 6);
    {
        auto *box = new QHBoxLayout;
        box->setSpacing(6);
        box->addWidget(crew);
        box->addWidget(paxLabel);
        box->addWidget(passengers);
        box->addStretch(1);
        grid->removeWidget(crew);
        grid->addLayout(box, r + 2, 1);
    }
    place(CarrierCode, "asccode", r + 3, 0)->setToolTip(tr("Authorised sea carrier code"));
    place(LineBond, "linebond", r + 4, 0)->setToolTip(tr("The line's bond number"));

    QLineEdit *departure = place(DepartureDate, "depdt", r, 3);
    QLineEdit *departureTime = addField(DepartureTime, QStringLiteral("deptime"));
    departure->setToolTip(tr("Expected departure date, dd/mm/yyyy"));
    departureTime->setToolTip(tr("Expected departure time, H:mm"));
    departureTime->setMaxLength(5);
    departureTime->setMaximumWidth(chars * 5);
    sideBySide(departure, departureTime, r, 4);
    combo(cmbShipType, "cmbShipType", tr("Ship Type"), ShipTypeCode, "shiptype", r + 1, 3);
    for (int k = 0; k < 3; ++k)
        place(NextPorts[k], k == 0 ? "nextport" : k == 1 ? "nextport1" : "nextport2", r + 2 + k, 3)
            ->setToolTip(tr("Port called after this one (code of the port list)"));
}

void frmVslMast::insertFilingTabOrder(QList<QWidget *> &order) const
{
    order.insert(order.indexOf(txtFields(PurposeCode)) + 1, cmbPurpose);
    order.insert(order.indexOf(txtFields(ShipTypeCode)) + 1, cmbShipType);
}

void frmVslMast::loadFilingLists()
{
    m_filingListsLoaded = true;
    const RecordSet &rs = adoPrimaryRS();
    const bool kept = rs.isOpen() && rs.columnIndex(QStringLiteral("purpcall")) >= 0;
    for (CodeCombo *c : {cmbPurpose, cmbShipType}) {
        // a database without these columns shows none of them
        c->setVisible(kept);
        for (QLabel *l : fieldArea()->findChildren<QLabel *>()) {
            if (l->buddy() == c)
                l->setVisible(kept);
        }
    }
    for (const char *name : {"lblFiling", "lineFiling"}) {
        if (QWidget *w = findChild<QWidget *>(QLatin1String(name)))
            w->setVisible(kept);
    }
    if (!kept)
        return;
    const Database &db = rs.database();
    for (const auto &[c, table] : {std::pair{cmbPurpose, "purpcall"}, std::pair{cmbShipType, "shiptype"}}) {
        const QString t = QLatin1String(table);
        if (Status s = c->fill(db, t, t == QLatin1String("purpcall") ? QStringLiteral("pc_cd") : QStringLiteral("st_cd"),
                               t == QLatin1String("purpcall") ? QStringLiteral("pc_desc") : QStringLiteral("st_desc"));
            !s)
            reportFailure(s.failure());
    }
    cmbPurpose->setPlaceholderText(tr("1 when empty"));
}

void frmVslMast::showFilingLists()
{
    if (!m_filingListsLoaded)
        loadFilingLists();
    cmbPurpose->setCode(txtFields(PurposeCode)->text().trimmed());
    cmbShipType->setCode(txtFields(ShipTypeCode)->text().trimmed());
}

void frmVslMast::lockFilingLists(bool locked)
{
    cmbPurpose->setLocked(locked);
    cmbShipType->setLocked(locked);
}

QString frmVslMast::filingFieldProblem(int index)
{
    QLineEdit *edit = txtFields(index);
    if (!edit || !edit->isVisibleTo(this) || edit->isReadOnly())
        return {};
    QString why;
    const QString text = edit->text().trimmed();
    if (index == DepartureTime) {
        const QTime time = QTime::fromString(text, QStringLiteral("H:mm"));
        if (!text.isEmpty() && !time.isValid())
            why = tr("a time is H:mm, 0:00 to 23:59");
        else if (time.isValid() && time.toString(QStringLiteral("H:mm")) != edit->text())
            setFieldText(index, time.toString(QStringLiteral("H:mm")));
    } else if (index == NextPort1 || index == NextPort2 || index == NextPort3) {
        if (text.toUpper() != edit->text())
            setFieldText(index, text.toUpper());
        auto problem = FilingRules::port(adoPrimaryRS().database(), text.toUpper());
        why = problem ? problem.value() : problem.failure().numberAndText();
    }
    if (!why.isEmpty())
        holdReason(QLatin1String(caption(index)) + QStringLiteral(": ") + why);
    return why;
}

int frmVslMast::firstFilingProblem(QString *why)
{
    for (int index : {DepartureTime, NextPort1, NextPort2, NextPort3}) {
        const QString problem = filingFieldProblem(index);
        if (!problem.isEmpty()) {
            *why = QLatin1String(caption(index)) + QStringLiteral(": ") + problem;
            return index;
        }
    }
    return -1;
}

} // namespace quarl
