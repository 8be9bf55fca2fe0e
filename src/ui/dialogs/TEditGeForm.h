#pragma once
// The reference flow dialog: the operator types the rig's reference flow Ge at
// the end of every cycle. Only Enter or "Ок" close it; the value stays for the
// next cycle.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TEditGeForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditGeForm(QWidget* parent = nullptr);

    // The entered reference flow, m³/h.
    double GeValue = 0;

    QLineEdit* EditGe() const { return m_editGe; }
    QPushButton* Button1() const { return m_button1; }

    // Shows the dialog modally and returns the value confirmed.
    double Ask();

    void EditGeExit();
    void Button1Click();

    // The frame cannot close it, nor can Escape.
    void reject() override {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_label1;
    QLineEdit* m_editGe;
    QPushButton* m_button1;
    bool m_bInExit = false;
    bool m_bExited = false;   // EditGeExit ran since the edit last took the focus or a key
};
