#pragma once
// The reference flow dialog: the operator types the rig's reference flow Ge at
// the end of every cycle. Enter or "Ок" close it with a positive number only;
// Escape offers to drop the cycle. The value stays for the next cycle.
#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TEditGeForm : public QDialog {
    Q_OBJECT
public:
    // The form's client area; the layout may make the dialog larger, never smaller.
    static constexpr int kClientWidth = 352;
    static constexpr int kClientHeight = 120;

    explicit TEditGeForm(QWidget* parent = nullptr);

    // The last reference flow confirmed, m³/h.
    double GeValue = 0;

    QLabel* Label1() const { return m_label1; }
    QLineEdit* EditGe() const { return m_editGe; }
    QPushButton* Button1() const { return m_button1; }

    // Shows the dialog modally: the value confirmed, or none when the operator dropped the cycle.
    std::optional<double> Ask();
    // The same with Ge filled in from the rig's reference and where it came from shown.
    std::optional<double> AskWith(double ge, const QString& source);
    QLabel* SourceLabel() const { return m_labelSource; }

    // Converts the text; false (with the message shown, GeValue unchanged) unless it is a valid flow.
    bool EditGeExit();
    void Button1Click();
    // Escape: asks whether to drop the cycle; yes closes the dialog without a value.
    void EscapePressed();

    // The frame cannot close it.
    void reject() override {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Fonts of the controls from the dialog's font, and the size that holds them.
    void FitToFont();
    void Confirm(bool fromEdit);
    void RefocusEdit();

    QLabel* m_label1;
    QLabel* m_labelSource;
    QLineEdit* m_editGe;
    QPushButton* m_button1;
    bool m_bInExit = false;
    bool m_bExited = false;   // EditGeExit ran since the dialog was shown or a key was typed
    bool m_bValid = false;    // and the text it saw was a valid flow
    bool m_bDropped = false;
};
