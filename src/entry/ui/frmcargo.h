#pragma once

#include "browser/ui/recordbrowser.h"
#include "entry/billoflading.h"
#include "entry/cargolookups.h"

#include <QHash>
#include <QList>
#include <QPointer>

class QComboBox;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace quarl {

class CodeCombo;
class GoodsItemsGrid;
class frmHouses;

// Cargo Information: the bills of lading of table cargo, browsed in id order, each with
// its containers in the grid below. The fields are checked as they are left; the save
// checks the containers and writes the bill of lading and its containers in one
// transaction (saveBillOfLading). Carry starts the next bill of lading from this one.
//
// Keys besides the record browser's: Enter moves to the next field, Ctrl+E edits, F7
// opens the voyage screen beside this one while adding or editing. In the grid a typed
// character or Enter opens the cell's edit box; Enter stores the cell and moves right.
class frmCargo : public RecordBrowser
{
    Q_OBJECT

public:
    explicit frmCargo(QWidget *parent = nullptr);

    void addRecord() override;
    void editRecord() override;
    void deleteRecord() override;
    void cancelRecord() override;
    void carryRecord();
    void deleteContainerRow();

    QComboBox *combo(const QString &name) const;
    QTableWidget *grid() const { return dataGrid2; }
    GoodsItemsGrid *itemsGrid() const { return grdItems; }
    QTabWidget *pages() const { return tabPages; }
    CodeCombo *filingCombo(const QString &name) const;
    // Shows the form's first page (0, the bill of lading) or its second (1, parties and goods).
    void showPage(int page);
    bool gridAcceptsEdits() const;
    // The house B/Ls of the line shown (Alt+H): of a consolidated line, or of the master of a
    // house shown, at that house. Browse mode only.
    void openHouses();
    frmHouses *housesScreen() const;
    // "House of B/L ..., sub-line n" on a house, the count of houses on a master.
    QString houseLinkText() const;
    // The bill of lading as typed: the fields, the combos' codes and the grid's rows in use.
    Result<BillOfLading> typedBillOfLading() const;

protected:
    RecordSource recordSource() const override;
    Result<Database> openDatabase() override;
    void SwitchMode(Mode mode) override;
    void applyButtonRights() override;
    void currentRowShown() override;
    void fieldTextChanged(int index) override;
    bool acceptFieldLeave(int index) override;
    bool handleKey(QKeyEvent *event) override;
    bool isCommandKey(const QKeyEvent *event) const override;
    QList<QWidget *> tabOrder() const override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Every field rule and look-up list, also for what was never visited.
    bool checkBeforeSave() override;
    // The save of Update and of closing with a pending row: saveBillOfLading.
    Status writePending() override;
    void positionAfterSave(bool added) override;
    void editStarted() override;
    // The containers and goods items go with the bill of lading, and so do the house B/Ls
    // under a master line.
    Status beforeDeleteRow() override;
    // Names the B/L, and the house B/Ls that go with a master line.
    QString deleteQuestion() const override;
    void reportUpdateFailure(const Failure &failure) override;

private:
    struct ComboBinding
    {
        QComboBox *combo = nullptr;
        QString column;   // of cargo
        int field = -1;   // the hidden or disabled field that holds the code, or -1
        CargoLookups::List list;
    };

    QPlainTextEdit *box(int index) const;
    void boxTextChanged(QPlainTextEdit *box, int index);
    QComboBox *addCombo(const char *name, const QString &column, int field, CargoLookups::List list);
    void fillCombos(const Database &db);
    void setComboCode(QComboBox *combo, const QString &code);
    QString comboCode(QComboBox *combo) const { return m_comboCode.value(combo); }
    bool isMandatoryCombo(const QWidget *w) const;
    void runSwitches();
    void loadGrid();
    void gridFocused();
    bool handleGridKey(QKeyEvent *event);
    bool handleEditorKey(QKeyEvent *event);
    void startCellEdit(const QString &typed, bool keepValue);
    void endCellEdit(bool store, bool moveOn);
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    void openVoyageScreen();
    // The bill of lading as the screen shows it from the database: the row (as the edit
    // began, while editing) and the containers the grid was loaded with.
    BillOfLading shownBillOfLading() const;
    void layOut();
    // What the screen holds of a new bill of lading: every field, code, cell and goods item.
    struct Entered
    {
        QStringList texts;
        std::optional<QList<GoodsItem>> items;
        bool operator==(const Entered &) const = default;
    };
    Entered entered() const;
    // Escape on a new bill of lading with something typed into it asks first; false: keep it.
    bool discardNewAllowed();

    QList<ComboBinding> m_combos;
    QHash<const QComboBox *, QString> m_comboCode; // the code bound to the row
    QComboBox *cmbLoadPort = nullptr;
    QComboBox *cmbCargoMove = nullptr;
    QComboBox *cmbNatCargo = nullptr;
    QComboBox *cmbItemType = nullptr;
    QComboBox *cmbPkgType = nullptr;
    QComboBox *cmbUnitWt = nullptr;
    QLabel *DstLabel = nullptr;
    QTableWidget *dataGrid2 = nullptr;
    QLineEdit *txtGtext = nullptr;
    QPushButton *cmdCarry = nullptr;
    QPushButton *cmdDeleteC = nullptr;
    QList<QWidget *> m_tabWidgets; // fields, combos and the grid in tab order

    bool m_freshGrid = false;      // Add or Carry: the next display empties the grid
    bool m_selectionReset = false; // the grid's next focus selects row 1, "Container No."
    bool m_gridOpen = false;       // nature of cargo C or CP
    bool m_settingCombo = false;
    bool m_syncing = false;
    QHash<QPlainTextEdit *, int> m_boxes; // Marks and Description over their fields
    int m_editRow = -1;
    int m_editColumn = -1;
    QString m_statusBeforeEdit; // restored when the container number being typed is fine
    QList<qint64> m_removedAutoids; // stored container rows removed, deleted with the save
    QList<Container> m_gridContainers; // as the grid was last loaded from the database
    std::optional<QList<GoodsItem>> m_shownItems; // the goods items as last loaded, when kept
    std::optional<BillOfLading> m_asLoaded; // the edited bill of lading as the edit began
    qint64 m_savedId = 0;
    qint64 m_housesDeleted = 0; // by the last delete
    std::optional<Entered> m_enteredAtAdd; // a new bill of lading as Add or Carry began it

    // House B/Ls (frmcargohouses.cpp): the line shown is a house of a master, or a master
    // with houses under it; the houses are keyed on their own screen (frmHouses).
    void buildHouses();
    // Delete's question on a master line with houses, naming how many go; empty on any other.
    QString housesDeleteQuestion() const;
    void showHouseLink();
    void lockHouseFields(Mode mode);
    QPushButton *cmdHouses = nullptr;
    QLabel *lblHouse = nullptr;
    QPointer<frmHouses> m_housesScreen;
    qint64 m_shownMaster = 0;    // the master of the house shown, 0 on a master line
    qint64 m_shownSubLine = 0;
    QString m_shownMasterBlNo;
    qint64 m_shownHouses = 0;    // houses under the line shown

    // The second page, "Parties and Goods": what today's arrival manifest asks for beside
    // the flat file (frmcargofiling.cpp). None of it is required.
    void buildFilingPage();
    void showFilingPage();
    void turnPage(int page); // without handing the focus on by the way
    void switchFilingPage(Mode mode);
    bool filingPageKey(QObject *watched, QEvent *event);
    bool handleItemsKey(QKeyEvent *event);
    QStringList carriedFilingTexts() const;
    void restoreCarriedFiling(const QStringList &texts);
    // Empty when the field of the second page passes its rule, else why not (also holdReason()).
    QString filingFieldProblem(int index);
    // The checks of Update on both pages: the first page's, then the second page's.
    bool checkPagesBeforeSave();
    bool checkFieldsBeforeSave(); // the first page's fields
    // The first field or item of the second page that fails its rule; the failure says why.
    Status filingFieldsValid();
    void addFilingToBill(BillOfLading &bol) const;
    // The first container cell of seal or equipment type that its list refuses, or (-1, -1).
    Result<std::pair<int, int>> refusedFilingCell() const;
    bool keepsFiling() const;
    // The consignee's structured address, when none is typed yet, from the importer's lines.
    void consigneeFromImporter();

    QTabWidget *tabPages = nullptr;
    QWidget *pageParties = nullptr;
    GoodsItemsGrid *grdItems = nullptr;
    QList<std::pair<CodeCombo *, int>> m_filingCombos; // each with its hidden field
    QPointer<QWidget> m_firstPageFocus;
    bool m_filingListsLoaded = false;
};

} // namespace quarl
