// The port settings dialog on fake port lists: order, tree, field rules, and what
// OK and Cancel leave in the connection.
#include "protocol/connection.h"
#include "ui/dialogs/TIPEdit.h"
#include "ui/dialogs/TSetPortDlg.h"
#include "ui/support/Shots.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

std::vector<CPortDevice> FakePorts()
{
    return {{"COM12", "USB Serial Port"}, {"COM3", ""}, {"COM4", "FT232R USB UART"}, {"COM1", "Communications Port"}};
}

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

void Retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

}  // namespace

class TSetPortDlgTest : public QObject {
    Q_OBJECT
private slots:
    void portsAreListedByNumberWithTheirDeviceNames()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        connection conn;
        conn.m_sPort = "COM4";
        dlg.FillFromConnection(conn);
        QCOMPARE(Items(dlg.CB_Port), (QStringList{"TCP/IP", "COM1", "COM3", "COM4", "COM12"}));
        QCOMPARE(dlg.CB_Port->currentIndex(), 3);

        dlg.show();   // fills the tree
        QTreeWidgetItem* root = dlg.TreeView->topLevelItem(0);
        QCOMPARE(root->text(0), QString("Порты (COM)"));
        QStringList nodes;
        QList<int> numbers;
        for (int i = 0; i < root->childCount(); ++i) {
            nodes << root->child(i)->text(0);
            numbers << root->child(i)->data(0, Qt::UserRole).toInt();
        }
        QCOMPARE(nodes, (QStringList{"COM1  Communications Port", "COM3", "COM4  FT232R USB UART",
                                     "COM12  USB Serial Port"}));
        QCOMPARE(numbers, (QList<int>{1, 3, 4, 12}));

        dlg.TreeView->setCurrentItem(root->child(3));   // choosing a node chooses its port
        QCOMPARE(dlg.CB_Port->currentText(), QString("COM12"));
        dlg.TreeView->setCurrentItem(root);             // the root is no port
        QCOMPARE(dlg.CB_Port->currentText(), QString("COM12"));
    }

    void digitFieldsTakeDigitsOnly_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("meter number") << "E_DevNom";
        QTest::newRow("TCP port") << "E_TCPIP_Port";
        QTest::newRow("delay") << "E_AuxTmout";
    }
    void digitFieldsTakeDigitsOnly()
    {
        QFETCH(QString, field);
        TSetPortDlg dlg(nullptr, FakePorts);
        auto* edit = dlg.findChild<QLineEdit*>(field);
        QVERIFY(edit);
        edit->clear();
        QTest::keyClicks(edit, "1a2-b 3.");
        QCOMPARE(edit->text(), QString("123"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString("12"));
    }

    void tcpPortAbove65535Becomes65535()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        for (const char* typed : {"70000", "65536", "99999999999999999999999"}) {
            Retype(dlg.E_TCPIP_Port, typed);
            QCOMPARE(dlg.E_TCPIP_Port->text(), QString("65535"));
        }
        Retype(dlg.E_TCPIP_Port, "65535");
        QCOMPARE(dlg.E_TCPIP_Port->text(), QString("65535"));
        Retype(dlg.E_TCPIP_Port, "");
        QCOMPARE(dlg.E_TCPIP_Port->text(), QString(""));
    }

    void okWritesTheSixValues()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        connection conn;
        conn.m_nSpeed = 921600;   // not in the list: no selection, kept by OK
        dlg.FillFromConnection(conn);
        QCOMPARE(dlg.CB_Speed->currentIndex(), -1);
        dlg.CB_Port->setCurrentIndex(dlg.CB_Port->findText("TCP/IP"));
        dlg.IPEdit->SetIP("10.1.2.3");
        Retype(dlg.E_TCPIP_Port, "4001");
        Retype(dlg.E_AuxTmout, "20000");
        Retype(dlg.E_DevNom, "");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);

        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(conn.m_sPort, std::string("TCP/IP"));
        QCOMPARE(conn.m_nSpeed, 921600u);
        QCOMPARE(conn.m_sIp, std::string("10.1.2.3"));
        QCOMPARE(conn.m_sTcpIpPort, std::string("4001"));
        QCOMPARE(conn.m_nAuxTmout, 10000);
        QCOMPARE(dlg.E_AuxTmout->text(), QString("10000"));
        QCOMPARE(conn.m_nDevNom, 0);

        dlg.CB_Speed->setCurrentIndex(dlg.CB_Speed->findText("57600"));
        Retype(dlg.E_DevNom, "12345678");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        QCOMPARE(conn.m_nSpeed, 57600u);
        QCOMPARE(conn.m_nDevNom, 12345678);
    }

    void anUnconfiguredPortOffersTheMachinesOwn_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<bool>("chosen");   // the port came from config.ini
        QTest::addColumn<QString>("offered");
        QTest::newRow("the first USB adapter") << QStringList{"ttyS0", "ttyUSB1", "ttyS1", "ttyUSB0"} << false
                                               << "ttyUSB0";
        QTest::newRow("no adapter: the first port") << QStringList{"ttyS2", "ttyS0"} << false << "ttyS0";
        QTest::newRow("no port at all") << QStringList{} << false << "COM1";
        QTest::newRow("COM1 chosen stays") << QStringList{"ttyUSB0"} << true << "COM1";
    }
    void anUnconfiguredPortOffersTheMachinesOwn()
    {
        QFETCH(QStringList, ports);
        QFETCH(bool, chosen);
        QFETCH(QString, offered);
        TSetPortDlg dlg(nullptr, [ports] {
            std::vector<CPortDevice> devices;
            for (const QString& p : ports)
                devices.push_back({p.toStdString(), ""});
            return devices;
        });
        connection conn;
        conn.m_bPortChosen = chosen;
        dlg.FillFromConnection(conn);
        QCOMPARE(dlg.CB_Port->currentText(), offered);
        QCOMPARE(dlg.CB_Port->count(), int(ports.size()) + 1);   // the list itself stays sorted by kind and number
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        QCOMPARE(conn.m_sPort, offered.toStdString());
        QVERIFY(conn.PortConfigured());   // kept in config.ini from now on
    }

    void aTypedPortIsKeptAndStored()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        connection conn;
        conn.m_sPort = "/dev/pts/7";
        dlg.FillFromConnection(conn);
        QCOMPARE(dlg.CB_Port->currentText(), QString("/dev/pts/7"));
        dlg.CB_Port->setEditText("/dev/ttyRIG");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        QCOMPARE(conn.m_sPort, std::string("/dev/ttyRIG"));
    }

    void cancelChangesNothing()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        connection conn;
        conn.m_sPort = "COM3";
        dlg.FillFromConnection(conn);
        dlg.CB_Port->setCurrentIndex(0);
        Retype(dlg.E_TCPIP_Port, "1");
        Retype(dlg.E_AuxTmout, "5");
        dlg.IPEdit->SetIP("1.1.1.1");
        QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(conn.m_sPort, std::string("COM3"));
        QCOMPARE(conn.m_sTcpIpPort, std::string("10001"));
        QCOMPARE(conn.m_sIp, std::string("192.168.0.1"));
        QCOMPARE(conn.m_nAuxTmout, 0);
        QCOMPARE(conn.m_nSpeed, 9600u);
    }

    void ctrlPUnfoldsAndFoldsTheTree()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QSize folded = dlg.size();
        QVERIFY(folded.width() >= TSetPortDlg::kClientWidth && folded.height() >= TSetPortDlg::kClientHeight);
        QVERIFY(!dlg.TreeView->isVisible());
        QTest::keyClick(&dlg, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(dlg.width(), folded.width() + TSetPortDlg::kTreeWidth);
        QVERIFY(dlg.TreeView->isVisible());
        SaveShot(&dlg, "TSetPortDlg-fake-ports");
        if (ShotsWanted()) {   // this machine's own ports, for a person to look at
            TSetPortDlg system;
            connection conn;
            system.FillFromConnection(conn);
            system.show();
            system.OpenPortsTreeViewExecute();
            system.TreeView->expandAll();
            SaveShot(&system, "TSetPortDlg-this-machine");
            system.OpenPortsTreeViewExecute();
            SaveShot(&system, "TSetPortDlg-folded");
        }
        QTest::keyClick(&dlg, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(dlg.size(), folded);
    }

    // The caption, the labels and the buttons whole, and the dialog at least its form, in every font.
    void fitsItsTexts_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("8 pt") << 8;
        QTest::newRow("10 pt") << 10;
        QTest::newRow("12 pt") << 12;
    }
    void fitsItsTexts()
    {
        QFETCH(int, points);
        TSetPortDlg dlg(nullptr, FakePorts);
        dlg.setFont(QFont(QStringLiteral("DejaVu Sans"), points));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(dlg.width() >= TSetPortDlg::kClientWidth && dlg.height() >= TSetPortDlg::kClientHeight);
        // The frame's icon and close box beside the caption.
        const int caption = QFontMetrics(dlg.font()).horizontalAdvance(dlg.windowTitle());
        QVERIFY2(dlg.width() >= caption + 80, qPrintable(QStringLiteral("%1 < %2 + 80").arg(dlg.width()).arg(caption)));
        for (QWidget* w : dlg.findChildren<QWidget*>()) {
            // The controls of the form (the parts of the address edit and the combo's own edit aside).
            if (!w->isVisible() || w->objectName().isEmpty() ||
                !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                  qobject_cast<QLineEdit*>(w) || qobject_cast<TIPEdit*>(w)))
                continue;
            QVERIFY2(w->width() >= w->minimumSizeHint().width() && w->height() >= w->minimumSizeHint().height(),
                     qPrintable(w->objectName() + QStringLiteral(" ") + w->metaObject()->className()));
        }
        for (QLabel* label : dlg.findChildren<QLabel*>()) {
            if (label->isVisible())
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
        for (QPushButton* button : {dlg.OKBtn, dlg.CancelBtn})
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
        QVERIFY(dlg.size().expandedTo(dlg.minimumSizeHint()) == dlg.size());
    }

    // The system menu and its close box: no minimise, maximise or help box.
    void frameButtons()
    {
        TSetPortDlg dlg(nullptr, FakePorts);
        const Qt::WindowFlags flags = dlg.windowFlags();
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        for (Qt::WindowType button : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                      Qt::WindowContextHelpButtonHint})
            QVERIFY(!(flags & button));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    }

    void showPortSettingsHandsTheMeterNumberBack()
    {
        connection conn;
        int number = 5;
        bool shownEnabled = false;
        QString shownText;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<TSetPortDlg*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            shownEnabled = dlg->E_DevNom->isEnabled();
            shownText = dlg->E_DevNom->text();
            Retype(dlg->E_DevNom, "42");
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        });
        QCOMPARE(ShowPortSettings(conn, QPoint(10, 10), &number, true), int(QDialog::Accepted));
        QVERIFY(shownEnabled);
        QCOMPARE(shownText, QString("5"));
        QCOMPARE(number, 42);
        QCOMPARE(conn.m_nDevNom, 42);

        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<TSetPortDlg*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            shownEnabled = dlg->E_DevNom->isEnabled();
            QTest::mouseClick(dlg->CancelBtn, Qt::LeftButton);
        });
        QCOMPARE(ShowPortSettings(conn, QPoint(10, 10)), int(QDialog::Rejected));
        QVERIFY(!shownEnabled);
    }
};

QTEST_MAIN(TSetPortDlgTest)
#include "TSetPortDlgTest.moc"
