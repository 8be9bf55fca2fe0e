#pragma once
// The port settings dialog: a serial port and its speed, or "TCP/IP" with the
// gateway's address and TCP port, an extra answer delay and a meter number.
// A tree of the ports with their device names unfolds on the right (Ctrl+P).
#include "ui/platform/SerialPorts.h"

#include <QDialog>
#include <QPoint>

class connection;
class QAction;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TIPEdit;

class TSetPortDlg : public QDialog {
    Q_OBJECT
public:
    // The form's client area, the tree folded; the layout may make it larger, never smaller.
    static constexpr int kClientWidth = 384;
    static constexpr int kClientHeight = 201;
    // The width the unfolded tree adds.
    static constexpr int kTreeWidth = 223;

    explicit TSetPortDlg(QWidget* parent = nullptr, PortSource ports = SystemSerialPorts);

    // Fills the dialog from the connection and shows it modally.
    int ShowForConnection(connection& conn);
    // The filling step alone.
    void FillFromConnection(connection& conn);

    QComboBox* CB_Port;
    QComboBox* CB_Speed;
    TIPEdit* IPEdit;
    QLineEdit* E_TCPIP_Port;
    QLineEdit* E_AuxTmout;
    QLineEdit* E_DevNom;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QToolButton* SpeedButton1;
    QAction* OpenPortsTreeView;
    QTreeWidget* TreeView;

    bool TreeShown() const { return m_bTreeShown; }

public slots:
    void OKBtnClick();
    void OpenPortsTreeViewExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void RefillPortList();
    void FormShow();
    void E_TCPIP_PortKeyUp();
    void TreeViewChanging(QTreeWidgetItem* node);
    // Sizes the dialog to its form, its content and its caption, with the tree shown or not.
    void FitSize();

    connection* m_pConnection = nullptr;
    PortSource m_ports;
    bool m_bTreeShown = false;
};

// Places the dialog at pos (screen coordinates) and shows it for conn. When devNom is
// given it is shown in the meter-number field; the field is editable only with
// allowDevNomEdit, and then the number typed (0 when none) is stored back through
// devNom. One dialog serves the whole run. Returns the dialog's result.
int ShowPortSettings(connection& conn, QPoint pos, int* devNom = nullptr, bool allowDevNomEdit = false,
                     QWidget* parent = nullptr);
