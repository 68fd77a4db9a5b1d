#include "reports/ui/printersetupdialog.h"

#include "reports/printerchoice.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quarl {

PrinterSetupDialog::PrinterSetupDialog(const QString &printer, const QPageLayout &page, QWidget *parent)
    : QDialog(parent), m_page(page)
{
    setObjectName(QStringLiteral("dlgPrinterSetup"));
    setWindowTitle(QStringLiteral("Printer Setup"));
    cboPrinter = new QComboBox(this);
    cboPrinter->setObjectName(QStringLiteral("cboPrinter"));
    cboPrinter->addItem(QStringLiteral("(default printer)"), QString());
    for (const QString &name : QPrinterInfo::availablePrinterNames())
        cboPrinter->addItem(name, name);
    cboPrinter->addItem(QLatin1String(reports::SaveAsPdf), QLatin1String(reports::SaveAsPdf));
    if (!printer.isEmpty() && cboPrinter->findData(printer) < 0)
        cboPrinter->addItem(printer + QStringLiteral(" (not available)"), printer);
    cboPrinter->setCurrentIndex(qMax(0, cboPrinter->findData(printer)));

    cboPaper = new QComboBox(this);
    cboPaper->setObjectName(QStringLiteral("cboPaper"));
    for (int n : {9, 8, 11, 1, 5, 7, 3, 4, 12, 13, 14, 39, 40}) {
        if (const auto size = reports::pageSizeOfWindowsPaper(n))
            cboPaper->addItem(size->name(), n);
    }
    const int current = reports::windowsPaperNumber(page.pageSize());
    int at = cboPaper->findData(current);
    if (at < 0) {
        cboPaper->addItem(page.pageSize().name(), current);
        at = cboPaper->count() - 1;
    }
    cboPaper->setCurrentIndex(at);

    optPortrait = new QRadioButton(QStringLiteral("Portrai&t"), this);
    optPortrait->setObjectName(QStringLiteral("optPortrait"));
    optLandscape = new QRadioButton(QStringLiteral("&Landscape"), this);
    optLandscape->setObjectName(QStringLiteral("optLandscape"));
    (page.orientation() == QPageLayout::Landscape ? optLandscape : optPortrait)->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Printer"), cboPrinter);
    form->addRow(QStringLiteral("Paper &size"), cboPaper);
    auto *orient = new QHBoxLayout;
    orient->addWidget(optPortrait);
    orient->addWidget(optLandscape);
    orient->addStretch(1);
    form->addRow(QStringLiteral("Orientation"), orient);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(box);
    setMinimumWidth(380);
}

QString PrinterSetupDialog::printerName() const
{
    return cboPrinter->currentData().toString();
}

QPageLayout PrinterSetupDialog::pageLayout() const
{
    QPageLayout page = m_page;
    if (const auto size = reports::pageSizeOfWindowsPaper(cboPaper->currentData().toInt()))
        page.setPageSize(*size);
    page.setOrientation(optLandscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
    return page;
}

} // namespace quarl
