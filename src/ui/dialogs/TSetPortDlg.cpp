#include "ui/dialogs/TSetPortDlg.h"

#include "common/CommonUtils.h"
#include "protocol/connection.h"
#include "ui/dialogs/TIPEdit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>

namespace {

constexpr int kMaxTcpPort = 65535;
constexpr int kMaxAuxTmout = 10000;
const char* const kSpeeds[] = {"9600", "19200", "38400", "57600", "115200"};

QLineEdit* DigitsEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

void AddLabelled(QFormLayout* layout, QWidget* parent, const QString& label, QWidget* field)
{
    auto* l = new QLabel(label, parent);
    l->setBuddy(field);
    layout->addRow(l, field);
}

// Room the window manager's frame takes from a caption: icon, close box, margins.
constexpr int kCaptionFrameAllowance = 96;

// The digits of a field as a number; false when empty or beyond 32 bits.
bool FieldNumber(const QLineEdit* edit, unsigned long long& value)
{
    bool ok = false;
    value = edit->text().toULongLong(&ok);
    return ok && value <= 0xFFFFFFFFull;
}

}  // namespace

TSetPortDlg::TSetPortDlg(QWidget* parent, PortSource ports) : QDialog(parent), m_ports(std::move(ports))
{
    setObjectName(QStringLiteral("SetPortDlg"));
    setWindowTitle(QStringLiteral("Настройки порта"));
    // The system menu and its close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* left = new QWidget(this);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(4);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    column->addLayout(form);

    CB_Port = new QComboBox(left);
    CB_Port->setObjectName(QStringLiteral("CB_Port"));
    CB_Port->setEditable(true);   // a port the system does not list (a pseudo-terminal, a link) may be typed
    CB_Port->setInsertPolicy(QComboBox::NoInsert);
    OpenPortsTreeView = new QAction(this);
    OpenPortsTreeView->setObjectName(QStringLiteral("OpenPortsTreeView"));
    OpenPortsTreeView->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    OpenPortsTreeView->setShortcutContext(Qt::WindowShortcut);
    OpenPortsTreeView->setToolTip(QStringLiteral("Порты с именами устройств (Ctrl+P)"));
    OpenPortsTreeView->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    addAction(OpenPortsTreeView);
    connect(OpenPortsTreeView, &QAction::triggered, this, &TSetPortDlg::OpenPortsTreeViewExecute);
    SpeedButton1 = new QToolButton(left);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setDefaultAction(OpenPortsTreeView);
    SpeedButton1->setAutoRaise(true);
    auto* portRow = new QHBoxLayout;
    portRow->setSpacing(2);
    portRow->addWidget(CB_Port, 1);
    portRow->addWidget(SpeedButton1);
    auto* portLabel = new QLabel(QStringLiteral("Порт:"), left);
    portLabel->setBuddy(CB_Port);
    form->addRow(portLabel, portRow);

    IPEdit = new TIPEdit(left);
    IPEdit->setObjectName(QStringLiteral("IPEdit"));
    AddLabelled(form, left, QStringLiteral("IP:"), IPEdit);
    E_TCPIP_Port = DigitsEdit(left, "E_TCPIP_Port");
    AddLabelled(form, left, QStringLiteral("TCP/IP порт:"), E_TCPIP_Port);
    connect(E_TCPIP_Port, &QLineEdit::textEdited, this, [this] { E_TCPIP_PortKeyUp(); });
    CB_Speed = new QComboBox(left);
    CB_Speed->setObjectName(QStringLiteral("CB_Speed"));
    for (const char* speed : kSpeeds)
        CB_Speed->addItem(QString::fromLatin1(speed));
    AddLabelled(form, left, QStringLiteral("Скорость:"), CB_Speed);
    E_AuxTmout = DigitsEdit(left, "E_AuxTmout");
    E_AuxTmout->setToolTip(QStringLiteral("0 - 10000 мс"));
    E_AuxTmout->setText(QStringLiteral("0"));
    AddLabelled(form, left, QStringLiteral("Доп. задержка (мс):"), E_AuxTmout);
    E_DevNom = DigitsEdit(left, "E_DevNom");
    AddLabelled(form, left, QStringLiteral("№ Прибора:"), E_DevNom);

    OKBtn = new QPushButton(QStringLiteral("OK"), left);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), left);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &TSetPortDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    column->addStretch(1);
    column->addLayout(buttons);

    TreeView = new QTreeWidget(this);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setHeaderHidden(true);
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView->setFixedWidth(kTreeWidth - 8);
    connect(TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { TreeViewChanging(current); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(left, 1);
    layout->addWidget(TreeView);
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    // FormCreate: folded, the tree hidden.
    TreeView->setVisible(false);
    FitSize();
}

void TSetPortDlg::FitSize()
{
    // The fields' column at least as the form has it, and the caption whole.
    QWidget* left = layout()->itemAt(0)->widget();
    // The frame draws the caption in a font of its own: the larger of the program's and the dialog's.
    const int caption = std::max(QFontMetrics(QApplication::font()).horizontalAdvance(windowTitle()),
                                 QFontMetrics(font()).horizontalAdvance(windowTitle())) +
                        kCaptionFrameAllowance;
    const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
    const int leftWidth = std::max({left->sizeHint().width(), kClientWidth - margins, caption - margins});
    left->setFixedWidth(leftWidth);
    TreeView->setVisible(m_bTreeShown);
    layout()->invalidate();
    layout()->activate();
    const int height = std::max(layout()->sizeHint().height(), kClientHeight);
    setFixedSize(leftWidth + margins + (m_bTreeShown ? kTreeWidth : 0), height);
}

void TSetPortDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitSize();
}

void TSetPortDlg::OpenPortsTreeViewExecute()
{
    m_bTreeShown = !m_bTreeShown;
    OpenPortsTreeView->setIcon(style()->standardIcon(m_bTreeShown ? QStyle::SP_ArrowLeft : QStyle::SP_ArrowRight));
    FitSize();
}

void TSetPortDlg::RefillPortList()
{
    const QString text = CB_Port->currentText();
    CB_Port->clear();
    CB_Port->addItem(QStringLiteral("TCP/IP"));
    for (const std::string& name : EnumComPorts(m_ports))
        CB_Port->addItem(QString::fromStdString(name));
    CB_Port->setCurrentIndex(CB_Port->findText(text));
    if (CB_Port->currentIndex() < 0)
        CB_Port->setEditText(text);
}

void TSetPortDlg::FillFromConnection(connection& conn)
{
    RefillPortList();
    m_pConnection = &conn;
    std::lock_guard<std::recursive_mutex> lock(conn.Lock());
    // Nothing configured: the machine's own port rather than the initial COM1.
    const std::string preferred = conn.PortConfigured() ? std::string() : PreferredPortName(SortedPortDevices(m_ports));
    const QString port = QString::fromStdString(preferred.empty() ? conn.m_sPort : preferred);
    CB_Port->setCurrentIndex(CB_Port->findText(port));
    if (CB_Port->currentIndex() < 0)
        CB_Port->setEditText(port);   // kept as typed: not every port is listed
    CB_Speed->setCurrentIndex(CB_Speed->findText(QString::number(conn.m_nSpeed)));
    IPEdit->SetIP(conn.m_sIp);
    E_TCPIP_Port->setText(QString::fromStdString(conn.m_sTcpIpPort));
    E_DevNom->setText(QString::number(conn.m_nDevNom));
    E_AuxTmout->setText(QString::number(conn.m_nAuxTmout));
}

int TSetPortDlg::ShowForConnection(connection& conn)
{
    FillFromConnection(conn);
    return exec();
}

void TSetPortDlg::showEvent(QShowEvent* event)
{
    FitSize();
    FormShow();
    QDialog::showEvent(event);
}

void TSetPortDlg::FormShow()
{
    TreeView->clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_DriveNetIcon);
    auto* root = new QTreeWidgetItem(TreeView, QStringList(QStringLiteral("Порты (COM)")));
    root->setIcon(0, icon);
    for (const CPortDevice& device : SortedPortDevices(m_ports)) {
        auto* node = new QTreeWidgetItem(root, QStringList(QString::fromStdString(PortNodeText(device))));
        node->setIcon(0, icon);
        node->setData(0, Qt::UserRole, PortNumber(device.m_sName));
    }
    root->setExpanded(true);
    SpeedButton1->setEnabled(true);
}

void TSetPortDlg::TreeViewChanging(QTreeWidgetItem* node)
{
    if (!node || !node->parent())
        return;
    const QString name = QString::fromStdString(ExtractToken(node->text(0).toStdString(), 1));
    const int index = CB_Port->findText(name);
    if (index >= 0)
        CB_Port->setCurrentIndex(index);
    else
        CB_Port->setEditText(name);
}

void TSetPortDlg::E_TCPIP_PortKeyUp()
{
    const QString text = E_TCPIP_Port->text();
    if (text.isEmpty())
        return;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > kMaxTcpPort)   // not ok: too many digits for any number
        E_TCPIP_Port->setText(QString::number(kMaxTcpPort));
}

void TSetPortDlg::OKBtnClick()
{
    if (m_pConnection) {
        unsigned long long number = 0;
        const int aux = FieldNumber(E_AuxTmout, number) ? static_cast<int>(std::min<unsigned long long>(number, kMaxAuxTmout)) : 0;
        E_AuxTmout->setText(QString::number(aux));
        const int devNom = FieldNumber(E_DevNom, number) && number <= 0x7FFFFFFFull ? static_cast<int>(number) : 0;

        std::lock_guard<std::recursive_mutex> lock(m_pConnection->Lock());
        m_pConnection->m_sPort = CB_Port->currentText().trimmed().toStdString();
        m_pConnection->m_bPortChosen = true;
        if (CB_Speed->currentIndex() >= 0)   // a speed outside the list stays as it was
            m_pConnection->m_nSpeed = CB_Speed->currentText().toUInt();
        m_pConnection->m_sIp = IPEdit->GetIP();
        m_pConnection->m_sTcpIpPort = E_TCPIP_Port->text().toStdString();
        m_pConnection->m_nDevNom = devNom;
        m_pConnection->m_nAuxTmout = aux;
    }
    accept();
}

int ShowPortSettings(connection& conn, QPoint pos, int* devNom, bool allowDevNomEdit, QWidget* parent)
{
    static QPointer<TSetPortDlg> dialog;
    if (!dialog)
        dialog = new TSetPortDlg(parent);
    {
        std::lock_guard<std::recursive_mutex> lock(conn.Lock());
        if (devNom)
            conn.m_nDevNom = *devNom;
    }
    dialog->E_DevNom->setEnabled(allowDevNomEdit);
    dialog->move(pos);
    const int result = dialog->ShowForConnection(conn);
    if (allowDevNomEdit && devNom) {
        std::lock_guard<std::recursive_mutex> lock(conn.Lock());
        bool ok = false;
        const int number = dialog->E_DevNom->text().toInt(&ok);
        *devNom = ok ? number : 0;
    }
    return result;
}
