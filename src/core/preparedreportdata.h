#pragma once

#include <QList>
#include <QSqlRecord>

#include <memory>

namespace quarl::reports {
struct ReportData;
}

namespace quarl {

// The rows of the last prepared report (check-list or cargo declaration). The main
// window owns the one instance for the whole run; the report screens fill and reuse it,
// and the main window closes it when it closes.
class PreparedReportData
{
public:
    bool isOpen() const { return m_open; }
    void open(QList<QSqlRecord> rows)
    {
        m_rows = std::move(rows);
        m_report.reset();
        m_open = true;
    }
    // The report screens keep the rows grouped by bill of lading, as the pages show them.
    void open(std::shared_ptr<const reports::ReportData> report)
    {
        m_rows.clear();
        m_report = std::move(report);
        m_open = true;
    }
    void close()
    {
        m_rows.clear();
        m_report.reset();
        m_open = false;
    }
    const QList<QSqlRecord> &rows() const { return m_rows; }
    const std::shared_ptr<const reports::ReportData> &report() const { return m_report; }

    // The main window's instance; nullptr while no main window is loaded.
    static PreparedReportData *current() { return s_current; }
    static void setCurrent(PreparedReportData *data) { s_current = data; }

private:
    QList<QSqlRecord> m_rows;
    std::shared_ptr<const reports::ReportData> m_report;
    bool m_open = false;
    static inline PreparedReportData *s_current = nullptr;
};

} // namespace quarl
