#pragma once
// The results history: the series of a meter (or of every meter) between two
// dates, the chosen series' points with its as-found or as-left verification
// beside it, the drift of the meter's error at each flow over its series, and
// the chosen series' protocol made again. Everything comes from the store on
// the reader's thread; the texts are built by the workstation's code.
#include "results/ResultRecords.h"
#include "results/ResultStore.h"
#include "workstation/MeterHistory.h"
#include "workstation/TextGrid.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CGridModel;
class CGridView;
class CStoreReader;
class QChart;
class QChartView;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

class THistoryForm : public QWidget {
    Q_OBJECT
public:
    // baseDir: Reports/ is made there; templatePath: the protocol's template.
    THistoryForm(const StoreLocation& where, std::string baseDir, std::string templatePath, QWidget* parent = nullptr);
    ~THistoryForm() override;

    // Shows the window with this meter's series (0: every meter's).
    void ShowForMeter(uint32_t number);
    // Opens the report made (default: the desktop's application); false when none did.
    std::function<bool(const QString& path)> openReport;

    // Controls, named as on the form.
    QLineEdit* NumberEdit = nullptr;
    QCheckBox* FromCheck = nullptr;
    QDateEdit* FromDate = nullptr;
    QCheckBox* ToCheck = nullptr;
    QDateEdit* ToDate = nullptr;
    QPushButton* FindButton = nullptr;
    QPushButton* ReportButton = nullptr;
    QLabel* StoreMessage = nullptr;
    CGridView* SeriesGrid = nullptr;
    CGridView* PointsGrid = nullptr;
    QChartView* DriftView = nullptr;
    QChart* DriftChart = nullptr;

    const CTextGrid& SeriesList() const { return m_list; }
    const CTextGrid& PointsTable() const { return m_points; }
    const MeterDrift& Drift() const { return m_drift; }
    const std::optional<StoredSeries>& Chosen() const { return m_chosen; }
    // A reading of the store is under way.
    bool Loading() const;
    // The report last made ("" none).
    const std::string& LastReport() const { return m_lastReport; }

public slots:
    void FindButtonClick();
    void ReportButtonClick();

signals:
    // The answers of the store asked for are all shown.
    void loaded();

private:
    void BuildControls();
    void ChooseSeries(int gridRow);
    // The drift of this meter over the filter's dates; again: even when it is the one shown.
    void LoadDrift(uint32_t number, bool again);
    void ShowDrift();
    void ShowError(const std::string& error);
    void ShowInfo(const QString& text);

    std::string m_baseDir;
    std::string m_templatePath;
    CStoreReader* m_reader;
    HistoryFilter m_filter;
    std::vector<SeriesSummary> m_summaries;
    std::optional<StoredSeries> m_chosen;
    std::optional<StoredSeries> m_linked;
    MeterDrift m_drift;
    uint32_t m_driftNumber = 0;
    CTextGrid m_list;
    CTextGrid m_points;
    CGridModel* m_listModel = nullptr;
    CGridModel* m_pointsModel = nullptr;
    unsigned m_searchNo = 0;   // answers of older searches are dropped
    unsigned m_chooseNo = 0;
    unsigned m_driftNo = 0;
    std::string m_lastReport;
};
