#pragma once
// A live view of the bus: every frame sent and received, time-stamped, in hex,
// with its command named, its meter number and what is wrong with it. Fed by
// the connection's exchange trace through a bounded queue, so a slow window
// drops and counts lines instead of slowing the bus. Pause, clear, a filter by
// meter number, and saving the rows shown to a text file.
#include "protocol/vq7prot/MonitorFeed.h"

#include <QWidget>

class connection;
class CMonitorModel;
class QAction;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

class TBusMonitor : public QWidget {
    Q_OBJECT
public:
    explicit TBusMonitor(QWidget* parent = nullptr);
    ~TBusMonitor() override;

    // Shows the one monitor of the run on conn, not modally.
    static TBusMonitor* Show(connection& conn, QWidget* parent = nullptr);
    // Stops tracing; call before the connection goes away (also done when the application quits).
    static void Release();

    // Starts (conn) or stops (null) tracing the connection's links.
    void Attach(connection* conn);
    // Takes what the trace queued so far into the table (the timer does this every 100 ms).
    void PollNow();
    // The rows shown (the filter applies), one text line each; false when the file cannot be written.
    bool SaveToFile(const QString& path);

    CMonitorModel* Model() const { return m_pModel; }
    QSortFilterProxyModel* Shown() const { return m_pFilter; }

    QAction* PauseAction;
    QAction* ClearAction;
    QAction* SaveAction;
    QLineEdit* MeterFilter;
    QLabel* StatusLabel;
    QTableView* Table;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SaveClick();
    void UpdateStatus();

    connection* m_pConnection = nullptr;
    CMonitorFeed m_feed;
    CMonitorModel* m_pModel;
    QSortFilterProxyModel* m_pFilter;
    QTimer* m_pTimer;
    std::vector<CMonitorRow> m_rows;
    uint64_t m_nFrames = 0;
};
