// House B/Ls on the cargo screen: what the screen shows of a house's link to its master,
// the question before a master goes with its houses, and the way to the houses' own screen.
//
// A house shown here can be edited as any line: the save writes only the screen's fields, so
// its link to the master and its line and sub-line numbers stay as stored, and its
// Consolidated indicator is locked. Its containers, and new houses, are keyed on the houses'
// screen, which offers the master's containers to choose from.
#include "entry/ui/frmcargo.h"

#include "core/prompter.h"
#include "entry/ui/codecombo.h"
#include "entry/ui/frmhouses.h"
#include "store/cargolines.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quarl {

namespace {

const char HouseSign[] = "H";

QString plural(qint64 n, const QString &one, const QString &many)
{
    return n == 1 ? one : many;
}

} // namespace

void frmCargo::buildHouses()
{
    cmdHouses = new QPushButton(tr("&House B/Ls"), this);
    cmdHouses->setObjectName(QStringLiteral("cmdHouses"));
    cmdHouses->setAutoDefault(false);
    cmdHouses->setMinimumWidth(96);
    cmdHouses->setToolTip(tr("The house B/Ls keyed under this consolidated line"));
    commandRow()->insertWidget(2, cmdHouses);
    connect(cmdHouses, &QPushButton::clicked, this, [this] { openHouses(); });

    lblHouse = new QLabel(this);
    lblHouse->setObjectName(QStringLiteral("lblHouse"));
    QFont bold = lblHouse->font();
    bold.setBold(true);
    lblHouse->setFont(bold);
    if (auto *head = findChild<QLabel *>(QStringLiteral("lblContainers"))) {
        // beside the containers' heading, seen on both pages
        for (QHBoxLayout *row : findChildren<QHBoxLayout *>()) {
            if (const int at = row->indexOf(head); at >= 0) {
                row->insertSpacing(at + 1, 24);
                row->insertWidget(at + 2, lblHouse);
                break;
            }
        }
    }
}

frmHouses *frmCargo::housesScreen() const
{
    return m_housesScreen;
}

QString frmCargo::houseLinkText() const
{
    if (m_shownMaster != 0) {
        if (m_shownMasterBlNo.isEmpty())
            return tr("House B/L, sub-line %1 (its master line is gone)").arg(m_shownSubLine);
        return tr("House of B/L %1, sub-line %2").arg(m_shownMasterBlNo).arg(m_shownSubLine);
    }
    if (m_shownHouses > 0)
        return tr("Consolidated: %1 %2 (Alt+H)")
            .arg(m_shownHouses)
            .arg(plural(m_shownHouses, tr("house B/L"), tr("house B/Ls")));
    return QString();
}

void frmCargo::showHouseLink()
{
    m_shownMaster = 0;
    m_shownSubLine = 0;
    m_shownMasterBlNo.clear();
    m_shownHouses = 0;
    const RecordSet &rs = adoPrimaryRS();
    if (rs.isOpen() && rs.hasCurrent() && rs.editMode() != RecordSet::EditMode::Add) {
        const int link = rs.columnIndex(QLatin1String(HouseLinkColumn));
        const QVariant master = link >= 0 ? rs.value(link) : QVariant();
        if (!master.isNull() && master.toLongLong() != 0) {
            m_shownMaster = master.toLongLong();
            m_shownSubLine = rs.value(QStringLiteral("sublineno")).toLongLong();
            auto blno = rs.database().scalar(QStringLiteral("select blno from cargo where id = ?"), {m_shownMaster});
            if (blno && blno->isValid())
                m_shownMasterBlNo = blno->toString().trimmed();
        } else if (link >= 0) {
            auto houses = housesOf(rs.database(), rs.value(QStringLiteral("id")).toLongLong());
            if (houses)
                m_shownHouses = houses->size();
            else
                Prompter::current().message(houses.failure().numberAndText());
        }
    }
    lblHouse->setText(houseLinkText());
    lockHouseFields(mode());
}

void frmCargo::lockHouseFields(Mode mode)
{
    // The Consolidated list offers no "H": a house is keyed under its master. A house shown
    // keeps its "H", locked.
    CodeCombo *kind = filingCombo(QStringLiteral("cmbConsInd"));
    if (!kind)
        return;
    const bool house = m_shownMaster != 0 && mode != Mode::Add;
    if (!house) {
        if (const int at = kind->findData(QLatin1String(HouseSign)); at >= 0 && at != kind->currentIndex())
            kind->removeItem(at);
    }
    kind->setLocked(mode == Mode::Browse || house);
    cmdHouses->setVisible(mode == Mode::Browse);
}

QString frmCargo::housesDeleteQuestion() const
{
    const RecordSet &rs = adoPrimaryRS();
    if (!rs.isOpen() || !rs.hasCurrent())
        return QString();
    // counted now: another workstation may have added houses since the line was shown
    auto houses = housesOf(rs.database(), rs.value(QStringLiteral("id")).toLongLong());
    if (!houses || houses->isEmpty())
        return QString();
    return tr("Delete B/L %1 of %2 / %3 and its %4 %5?")
        .arg(rs.value(QStringLiteral("blno")).toString().trimmed(), rs.value(QStringLiteral("vslcode")).toString().trimmed(),
             rs.value(QStringLiteral("voyno")).toString().trimmed())
        .arg(houses->size())
        .arg(plural(houses->size(), tr("house B/L"), tr("house B/Ls")));
}

void frmCargo::openHouses()
{
    const RecordSet &rs = adoPrimaryRS();
    if (mode() != Mode::Browse || !rs.isOpen() || !rs.hasCurrent() || !cmdHouses->isEnabled()) {
        Prompter::current().beep();
        return;
    }
    showHouseLink(); // as stored now
    const qint64 id = rs.value(QStringLiteral("id")).toLongLong();
    const qint64 master = m_shownMaster != 0 ? m_shownMaster : id;
    if (m_shownMaster == 0 && m_shownHouses == 0) {
        const int kind = rs.columnIndex(QStringLiteral("consind"));
        if (rs.columnIndex(QLatin1String(HouseLinkColumn)) < 0) {
            showHold(tr("This company database keeps no house B/Ls yet: run the patches of the House Keeping menu."));
            Prompter::current().beep();
            return;
        }
        if (kind >= 0 && rs.value(kind).toString().trimmed().toUpper() != QLatin1String("C")) {
            showHold(tr("House B/Ls go under a consolidated line: set Consolidated to \"C\" (Alt+P) and save first."));
            Prompter::current().beep();
            return;
        }
    }
    if (m_shownMaster != 0 && m_shownMasterBlNo.isEmpty()) {
        showHold(houseLinkText());
        Prompter::current().beep();
        return;
    }
    auto *screen = new frmHouses(rs.database(), master, this);
    screen->setAttribute(Qt::WA_DeleteOnClose);
    if (Status s = screen->load(m_shownMaster != 0 ? id : 0); !s) {
        delete screen;
        Prompter::current().message(s.failure().numberAndText());
        return;
    }
    m_housesScreen = screen;
    // the houses saved or deleted there show here when it closes
    connect(screen, &QDialog::finished, this, [this] {
        refreshRecords();
        focusAdd();
    });
    screen->open();
}

} // namespace quarl
