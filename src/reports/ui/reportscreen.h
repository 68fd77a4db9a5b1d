#pragma once

#include "core/failure.h"
#include "reports/reportdata.h"

#include <QPageLayout>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quarl {

namespace reports {
class ReportDocument;
}

// The screen of a voyage's report (check-list or cargo declaration): the voyage key, the
// mail fields preset from the settings, and the commands Print Preview, Print Report,
// Email Report and Printer Setup. Every output prepares the data afresh, which numbers
// the voyage's lines 1..n.
class ReportScreen : public QWidget
{
    Q_OBJECT
public:
    QLineEdit *txtFields(int index) const; // 0 To, 1 CC, 2 subject, 3 message, 4 vessel, 5 voyage, 6 custom house
    reports::ReportKind kind() const { return m_kind; }
    QPageLayout pageLayout() const { return m_page; }
    QString printerName() const { return m_printer; }

    // The commands, as the buttons run them.
    void preview();
    void printReport();
    void emailReport();
    void printerSetup();

    // The document of the last output of this screen.
    std::shared_ptr<const reports::ReportDocument> lastDocument() const { return m_document; }

protected:
    ReportScreen(reports::ReportKind kind, const QString &caption, QWidget *parent);
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Prepares the data and lays out the pages; nullptr when the command is to end.
    std::shared_ptr<const reports::ReportDocument> prepare(const std::function<void(const Failure &)> &say);
    void print(const std::shared_ptr<const reports::ReportDocument> &document);
    void loadPrinterChoice();

    reports::ReportKind m_kind;
    QLabel *lblHeading;
    QLineEdit *m_fields[7] = {};
    QPushButton *cmdPrint, *cmdDprint, *cmdEmail, *cmdPsetup, *cmdExit;
    QPageLayout m_page;
    QString m_printer;
    std::shared_ptr<const reports::ReportDocument> m_document;
    bool m_placed = false;
};

// Check-List Printing.
class frmCheckList : public ReportScreen
{
    Q_OBJECT
public:
    explicit frmCheckList(QWidget *parent = nullptr);
};

// Cargo Declaration, with its Custom House field.
class frmCargoDec : public ReportScreen
{
    Q_OBJECT
public:
    explicit frmCargoDec(QWidget *parent = nullptr);
};

} // namespace quarl
