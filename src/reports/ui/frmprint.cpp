#include "reports/ui/frmprint.h"

#include "core/ui/screenregistry.h"

#include "core/prompter.h"
#include "reports/printerchoice.h"
#include "reports/reportdocument.h"
#include "reports/reportexport.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace quarl {

// One page of the report, drawn at the zoom on every paint.
class PageView : public QWidget
{
public:
    explicit PageView(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("CRViewer1"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setDocument(const reports::ReportDocument *doc)
    {
        m_doc = doc;
        m_page = 0;
        relayout();
    }
    void setPage(int page)
    {
        m_page = page;
        update();
    }
    int page() const { return m_page; }
    void setZoom(double zoom)
    {
        m_zoom = zoom;
        relayout();
    }
    double zoom() const { return m_zoom; }
    // Layout units (tenths of a point) to pixels at the zoom.
    double scale() const { return m_zoom * logicalDpiX() / 720.0; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(128, 128, 128));
        if (!m_doc)
            return;
        const QSizeF sheet = m_doc->sheetSize() * scale();
        const QPointF at((width() - sheet.width()) / 2, Margin);
        p.fillRect(QRectF(at + QPointF(4, 4), sheet), QColor(70, 70, 70));
        p.translate(at);
        p.scale(scale(), scale());
        m_doc->paintPage(p, m_page);
    }

private:
    void relayout()
    {
        if (m_doc) {
            const QSizeF sheet = m_doc->sheetSize() * scale();
            setFixedSize(int(sheet.width()) + 2 * Margin, int(sheet.height()) + 2 * Margin);
        }
        update();
    }

    static constexpr int Margin = 12;
    const reports::ReportDocument *m_doc = nullptr;
    int m_page = 0;
    double m_zoom = 1.0;
};

namespace {
QPointer<frmPrint> s_shared;

QToolButton *navButton(QWidget *parent, const char *name, const QString &text, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setMinimumWidth(32);
    return b;
}
} // namespace

frmPrint *frmPrint::shared()
{
    // Owned by the main window, so that it closes with it.
    if (!s_shared)
        s_shared = new frmPrint(screenHost());
    return s_shared;
}

void saveReportAsPdf(const reports::ReportDocument &doc, QWidget *parent)
{
    // named after the report's title, in the folder the last one went to
    static QString folder = QDir::homePath();
    QString name = doc.texts().title;
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("-"));
    QString path = Prompter::current().saveFileName(QStringLiteral("Save as PDF"), QStringLiteral("PDF files (*.pdf)"),
                                                    QDir(folder).filePath(name + QStringLiteral(".pdf")));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    folder = QFileInfo(path).absolutePath();
    QProgressDialog progress(QStringLiteral("Saving %1...").arg(doc.texts().title), QStringLiteral("Cancel"), 0,
                             doc.pageCount(), parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const Status s = reports::writeReport(doc, reports::ExportFormat::Pdf, path, [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!s) {
        if (!s.failure().is(ErrorNumber::Cancelled))
            Prompter::current().message(s.failure().numberAndText(), Prompter::Icon::Critical);
        return;
    }
    Prompter::current().message(QStringLiteral("The report is saved as %1.").arg(QDir::toNativeSeparators(path)),
                                Prompter::Icon::Information);
}

void printReportDocument(const reports::ReportDocument &doc, const QString &printerName, QWidget *parent)
{
    if (printerName == QLatin1String(reports::SaveAsPdf)) {
        saveReportAsPdf(doc, parent);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.isEmpty())
        printer.setPrinterName(printerName);
    printer.setFullPage(true);
    printer.setPageLayout(doc.pageLayout());
    printer.setDocName(doc.texts().title);
    if (!printer.isValid() || printer.printerName().isEmpty()) {
        // a machine without a printer still gets its paper: as a PDF file
        if (Prompter::current().askYesNo(
                QStringLiteral("%1  No printer is available%2. Save the report as PDF instead ?")
                    .arg(ErrorNumber::PathFileAccess)
                    .arg(printerName.isEmpty() ? QString() : QStringLiteral(" under the name \"%1\"").arg(printerName)),
                Prompter::Icon::Question))
            saveReportAsPdf(doc, parent);
        return;
    }
    QProgressDialog progress(QStringLiteral("Printing %1...").arg(doc.texts().title), QStringLiteral("Cancel"), 0,
                             doc.pageCount(), parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const Status s = doc.print(printer, 0, -1, [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    if (!s && !s.failure().is(ErrorNumber::Cancelled))
        Prompter::current().message(s.failure().numberAndText(), Prompter::Icon::Critical);
}

frmPrint *frmPrint::existing()
{
    return s_shared;
}

frmPrint::frmPrint(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmPrint"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Check-List"));

    cmdFirst = navButton(this, "cmdFirst", QStringLiteral("|<"), QStringLiteral("First page (Home)"));
    cmdPrevious = navButton(this, "cmdPrevious", QStringLiteral("<"), QStringLiteral("Previous page (Page Up)"));
    cmdNext = navButton(this, "cmdNext", QStringLiteral(">"), QStringLiteral("Next page (Page Down)"));
    cmdLast = navButton(this, "cmdLast", QStringLiteral(">|"), QStringLiteral("Last page (End)"));
    txtPage = new QLineEdit(this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    txtPage->setMaximumWidth(70);
    txtPage->setAlignment(Qt::AlignRight);
    txtPage->setValidator(new QIntValidator(1, 1000000, txtPage));
    lblPages = new QLabel(this);
    lblPages->setObjectName(QStringLiteral("lblPages"));
    cboZoom = new QComboBox(this);
    cboZoom->setObjectName(QStringLiteral("cboZoom"));
    for (int z : {50, 75, 100, 125, 150, 200})
        cboZoom->addItem(QStringLiteral("%1 %").arg(z), z / 100.0);
    cboZoom->setCurrentIndex(2);
    cmdPrintReport = navButton(this, "cmdPrintReport", QStringLiteral("&Print..."), QStringLiteral("Print (Ctrl+P)"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(cmdFirst);
    bar->addWidget(cmdPrevious);
    bar->addWidget(new QLabel(QStringLiteral("Page"), this));
    bar->addWidget(txtPage);
    bar->addWidget(lblPages);
    bar->addWidget(cmdNext);
    bar->addWidget(cmdLast);
    bar->addSpacing(20);
    bar->addWidget(new QLabel(QStringLiteral("Zoom"), this));
    bar->addWidget(cboZoom);
    bar->addStretch(1);
    bar->addWidget(cmdPrintReport);

    m_view = new PageView(this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrPages"));
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto *top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);
    top->addLayout(bar);
    top->addWidget(m_scroll, 1);

    connect(cmdFirst, &QToolButton::clicked, this, [this] { setPage(0); });
    connect(cmdPrevious, &QToolButton::clicked, this, [this] { setPage(currentPage() - 1); });
    connect(cmdNext, &QToolButton::clicked, this, [this] { setPage(currentPage() + 1); });
    connect(cmdLast, &QToolButton::clicked, this, [this] { setPage(m_document ? m_document->pageCount() - 1 : 0); });
    connect(txtPage, &QLineEdit::editingFinished, this, [this] { setPage(txtPage->text().toInt() - 1); });
    connect(cboZoom, &QComboBox::currentIndexChanged, this, [this] { applyZoom(); });
    connect(cmdPrintReport, &QToolButton::clicked, this, [this] {
        if (m_document)
            printReportDocument(*m_document, m_printer, this);
    });

    const QRect avail = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 1024);
    resize(qMin(avail.width() - 80, 1100), qMin(avail.height() - 80, 900));
}

void frmPrint::showReport(std::shared_ptr<const reports::ReportDocument> document, const QString &caption,
                          const QString &printer)
{
    m_document = std::move(document);
    m_printer = printer;
    setWindowTitle(caption);
    m_view->setDocument(m_document.get());
    // Every new report opens at 100 %.
    cboZoom->setCurrentIndex(2);
    applyZoom();
    setPage(0);
    show();
    raise();
    activateWindow();
}

int frmPrint::currentPage() const
{
    return m_view->page();
}

double frmPrint::zoom() const
{
    return m_view->zoom();
}

void frmPrint::setPage(int index)
{
    if (!m_document)
        return;
    index = qBound(0, index, m_document->pageCount() - 1);
    m_view->setPage(index);
    m_scroll->verticalScrollBar()->setValue(0);
    updateControls();
}

void frmPrint::applyZoom()
{
    m_view->setZoom(cboZoom->currentData().toDouble());
}

void frmPrint::updateControls()
{
    const int n = m_document ? m_document->pageCount() : 0;
    const int at = currentPage();
    txtPage->setText(QString::number(at + 1));
    lblPages->setText(QStringLiteral("of %1").arg(n));
    cmdFirst->setEnabled(at > 0);
    cmdPrevious->setEnabled(at > 0);
    cmdNext->setEnabled(at + 1 < n);
    cmdLast->setEnabled(at + 1 < n);
}

void frmPrint::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_PageDown: setPage(currentPage() + 1); return;
    case Qt::Key_PageUp: setPage(currentPage() - 1); return;
    case Qt::Key_Home:
        if (ctrl || !txtPage->hasFocus()) {
            setPage(0);
            return;
        }
        break;
    case Qt::Key_End:
        if (ctrl || !txtPage->hasFocus()) {
            setPage(m_document ? m_document->pageCount() - 1 : 0);
            return;
        }
        break;
    case Qt::Key_Escape: close(); return;
    case Qt::Key_P:
        if (ctrl && m_document) {
            printReportDocument(*m_document, m_printer, this);
            return;
        }
        break;
    default: break;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quarl
