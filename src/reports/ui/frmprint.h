#pragma once

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;

namespace quarl {

namespace reports {
class ReportDocument;
}

class PageView;

// Prints the report on the named printer (empty: the default one) with a progress window;
// a failure is shown to the user.
// The printer "Save as PDF..." asks for a file and writes the report there as PDF, as
// quarlctl does; so does a machine without any printer when the user says so.
void printReportDocument(const reports::ReportDocument &document, const QString &printer, QWidget *parent);
void saveReportAsPdf(const reports::ReportDocument &document, QWidget *parent);

// The preview window shared by the report screens: the report's pages one at a time at
// 100 % to start with, page navigation, zoom and printing. A page is drawn when it is
// shown, so a long voyage shows its first page at once.
class frmPrint : public QWidget
{
    Q_OBJECT
public:
    // The one preview window, created on first use.
    static frmPrint *shared();
    static frmPrint *existing(); // nullptr while none is open

    // Shows the report from its first page; Print sends it to the printer of the report's
    // screen (empty: the default printer).
    void showReport(std::shared_ptr<const reports::ReportDocument> document, const QString &caption,
                    const QString &printer);
    const reports::ReportDocument *document() const { return m_document.get(); }

    int currentPage() const; // 0-based
    void setPage(int index);
    double zoom() const;     // 1.0 = 100 %

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    explicit frmPrint(QWidget *parent = nullptr);
    void updateControls();
    void applyZoom();

    std::shared_ptr<const reports::ReportDocument> m_document;
    QString m_printer;
    PageView *m_view;
    QScrollArea *m_scroll;
    QToolButton *cmdFirst, *cmdPrevious, *cmdNext, *cmdLast, *cmdPrintReport;
    QLineEdit *txtPage;
    QLabel *lblPages;
    QComboBox *cboZoom;
};

} // namespace quarl
