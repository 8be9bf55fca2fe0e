#pragma once
// The calibration editor window: one meter's pairs as a grid, a chart of Ge
// over Gi and a chart of the deviations, with files, the meter, scaling,
// sorting, the reverse branch and point editing. The work is done by
// CGiGeScaleModel; the window shows it and passes gestures on.
#include "workstation/GiGeScaleModel.h"

#include <QDialog>

#include <memory>

class QAction;
class QAreaSeries;
class QChart;
class QChartView;
class QLabel;
class QLineEdit;
class QLineSeries;
class QMenu;
class QPushButton;
class QTableView;
class QToolBar;
class QValueAxis;
class QWidget;
class CGiGeChartView;
class CGiGeGridModel;

class TGIGEScaleForm : public QDialog {
    Q_OBJECT
public:
    explicit TGIGEScaleForm(QWidget* mainWindow = nullptr);
    ~TGIGEScaleForm() override;

    // The main window's three entries: each opens the window modally or takes the pairs back.
    void ShowForMeter(connection* conn, uint32_t number, const VQ7_INFO* info);
    void ShowForTable(const CGiGeArray& table, uint32_t number, const VQ7_INFO* info);
    void GetGiGeArray(CGiGeArray& table) const { m_model.GetGiGeArray(table); }

    // The same openings without the modal loop.
    void OpenForMeter(connection* conn, uint32_t number, const VQ7_INFO* info);
    void OpenForTable(const CGiGeArray& table, uint32_t number, const VQ7_INFO* info);

    // The verification tolerance drawn on the deviation chart, %.
    void SetToleranceBand(double percent);
    double ToleranceBand() const { return m_dTolerance; }
    // Both charts as one picture; false when it cannot be written.
    bool SaveChartImage(const QString& path);

    CGiGeScaleModel& Model() { return m_model; }
    CGiGeChartView* Chart1() const { return m_pChart1View; }
    QChartView* Chart2() const { return m_pChart2View; }
    QTableView* StringGrid1() const { return m_pGrid; }
    QValueAxis* Chart1AxisX() const { return m_pAxisX1; }
    QValueAxis* Chart2AxisX() const { return m_pAxisX2; }
    QLineEdit* LabeledEdit_Ku() const { return m_pKu; }
    QLineEdit* LabeledEdit_Zero() const { return m_pZero; }
    QPushButton* BitBtn_Calc() const { return m_pCalc; }
    QAction* Action(const QString& name) const;
    bool Chart2Automatic() const { return !m_bZoomed; }

    // Refreshes every view from the model.
    void SyncFromModel();

    // The window keeps its place in this config.ini between openings and runs ("" : centred every time).
    void SetPlacementFile(const std::string& configPath) { m_sPlacementFile = configPath; }

    // The form's client area; the layout may make the window larger.
    static constexpr int kClientWidth = 740;
    static constexpr int kClientHeight = 514;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildToolBar();
    void BuildCharts();
    void SetMode(bool meter);
    void FitChart1();
    void FitChart2();
    QString HoverText(int k) const;

    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void SaveChartClick();
    void LabeledEdit_KuChange(const QString& text);
    void LabeledEdit_ZeroChange(const QString& text);
    void Chart1Zoom(qreal min, qreal max);
    void Chart1UndoZoom();
    void FormShow();

    CGiGeScaleModel m_model;
    QWidget* m_pMainWindow;
    QToolBar* m_pToolBar = nullptr;
    QAction* m_pLoadFromVQ = nullptr;
    QAction* m_pSaveToVQ = nullptr;
    QAction* m_pToolButton2 = nullptr;
    QTableView* m_pGrid = nullptr;
    CGiGeGridModel* m_pGridModel = nullptr;
    QMenu* m_pPopupMenu1 = nullptr;
    QChart* m_pChart1 = nullptr;
    QLineSeries* m_pSeries1 = nullptr;
    QValueAxis* m_pAxisX1 = nullptr;
    QValueAxis* m_pAxisY1 = nullptr;
    CGiGeChartView* m_pChart1View = nullptr;
    QChart* m_pChart2 = nullptr;
    QLineSeries* m_pLineSeries1 = nullptr;
    QLineSeries* m_pBandUpper = nullptr;
    QLineSeries* m_pBandLower = nullptr;
    QAreaSeries* m_pBand = nullptr;
    QValueAxis* m_pAxisX2 = nullptr;
    QValueAxis* m_pAxisY2 = nullptr;
    QChartView* m_pChart2View = nullptr;
    QWidget* m_pCharts = nullptr;
    QLabel* m_pKuLabel = nullptr;
    QLabel* m_pZeroLabel = nullptr;
    QLineEdit* m_pKu = nullptr;
    QLineEdit* m_pZero = nullptr;
    QPushButton* m_pCalc = nullptr;
    double m_dTolerance = 2.0;
    bool m_bZoomed = false;
    bool m_bFitting = false;
    std::string m_sPlacementFile;
    bool m_bPlaced = false;   // restored from the file once
};
