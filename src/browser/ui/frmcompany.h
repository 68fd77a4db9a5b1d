#pragma once

#include "browser/ui/recordbrowser.h"

namespace quarl {

// Company Master: the company register DRCOMP of the system database, and the creation
// of a new company's data file and data source.
class frmCompany : public RecordBrowser
{
    Q_OBJECT
public:
    explicit frmCompany(QWidget *parent = nullptr);

    void addRecord() override;
    // Create: copies a chosen company data file under the typed Data Source Name and
    // registers the data source.
    void createDataSource();
    // Registers the typed Data Source Name for a company database on a PostgreSQL
    // server, shared by the workstations of an office.
    void createPostgresSource();

protected:
    RecordSource recordSource() const override;
    Result<Database> openDatabase() override;
    void SwitchMode(Mode mode) override;
    void fieldTextChanged(int index) override;

    QPushButton *Create = nullptr;
    QPushButton *CreatePg = nullptr;

private:
    void updateCreateEnabled();
};

} // namespace quarl
