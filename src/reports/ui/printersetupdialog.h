#pragma once

#include <QDialog>
#include <QPageLayout>

class QComboBox;
class QRadioButton;

namespace quarl {

// Printer Setup of the report screens: the printer, the paper and the orientation.
class PrinterSetupDialog : public QDialog
{
    Q_OBJECT
public:
    PrinterSetupDialog(const QString &printer, const QPageLayout &page, QWidget *parent = nullptr);

    QString printerName() const;
    QPageLayout pageLayout() const;

private:
    QPageLayout m_page;
    QComboBox *cboPrinter;
    QComboBox *cboPaper;
    QRadioButton *optPortrait, *optLandscape;
};

} // namespace quarl
