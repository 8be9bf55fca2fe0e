#pragma once
// The test plan window: the kind of series, the meters, the flow points with
// their cycles, the verification after a calibration and the write; opened
// from and saved to a plan file, run by one button with its progress, paused,
// resumed and cancelled. The window that owns it runs the plan.
#include "workstation/TestPlan.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TPlanForm : public QDialog {
    Q_OBJECT
public:
    explicit TPlanForm(QWidget* parent = nullptr);

    // Set by the owner: run the plan (returns when it ended), pause or resume, cancel.
    std::function<void(const TestPlan&)> onRun;
    std::function<void(bool paused)> onPause;
    std::function<void()> onCancel;

    // The fields as a plan; false with the reason shown.
    bool ReadPlan(TestPlan& plan);
    void SetPlan(const TestPlan& plan);
    // The buttons follow: "Пуск" while idle, "Пауза"/"Продолжить" and "Отмена" while running.
    void SetRunning(bool running);
    // Thread-safe: the line is shown on the GUI thread.
    void ShowProgress(const QString& text);
    void ShowCycle(const QString& text);
    void ShowOutcome(bool ok, const QString& text);

    QComboBox* KindBox() const { return m_kind; }
    QLineEdit* MetersEdit() const { return m_meters; }
    QLineEdit* PointsEdit() const { return m_points; }
    QLineEdit* VerifyEdit() const { return m_verify; }
    QCheckBox* WriteBox() const { return m_write; }
    QPushButton* RunButton() const { return m_run; }
    QPushButton* PauseButton() const { return m_pause; }
    QPushButton* CancelButton() const { return m_cancel; }
    QLabel* ProgressLabel() const { return m_progress; }
    QLabel* CycleLabel() const { return m_cycle; }
    QLabel* OutcomeLabel() const { return m_outcome; }

    void OpenClick();
    void SaveClick();
    void RunClick();
    void PauseClick();

private:
    void KindChanged();

    QComboBox* m_kind;
    QLineEdit* m_meters;
    QLineEdit* m_points;
    QLineEdit* m_verify;
    QCheckBox* m_write;
    QPushButton* m_open;
    QPushButton* m_save;
    QPushButton* m_run;
    QPushButton* m_pause;
    QPushButton* m_cancel;
    QLabel* m_progress;
    QLabel* m_cycle;
    QLabel* m_outcome;
    bool m_bRunning = false;
    bool m_bPaused = false;
};
