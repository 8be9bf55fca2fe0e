#pragma once
// The verification profile of one meter (or [default]) in profiles.ini:
// standard, class, flows, tolerance, rule and water temperature. "Сохранить"
// checks the section and writes the file whole; a refused section keeps the
// dialog open with the message naming section and key, and nothing is saved.
#include "workstation/ProfileForm.h"

#include <QDialog>
#include <string>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

class TProfileForm : public QDialog {
    Q_OBJECT
public:
    // section: a meter number or "default"; stationTolerance: δ of a
    // tolerance profile without one.
    TProfileForm(const std::string& path, const std::string& section, double stationTolerance,
                 QWidget* parent = nullptr);

    ProfileFormFields Fields() const;
    // The message of the last refusal or read failure ("" none).
    std::string Error() const { return m_sError; }

    QComboBox* StandardBox;
    QLineEdit* ClassEdit;
    QLineEdit* QpEdit;
    QLineEdit* QiEdit;
    QLineEdit* QsEdit;
    QLineEdit* Q1Edit;
    QLineEdit* Q3Edit;
    QLineEdit* ToleranceEdit;
    QComboBox* RuleBox;
    QLineEdit* TemperatureEdit;
    QLabel* ErrorLabel;
    QDialogButtonBox* Buttons;

public slots:
    // Checks and writes; accepts the dialog when written. True when written.
    bool SaveClick();
    void StandardBoxChange();

private:
    QLineEdit* EditOf(const std::string& key) const;
    void ShowError(const std::string& text);

    std::string m_sPath;
    std::string m_sSection;
    double m_dStationTolerance;
    std::string m_sError;
};
