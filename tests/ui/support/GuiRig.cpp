#include "GuiRig.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/WriteJournal.h"
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"
#include "ui/dialogs/TEditGeForm.h"

#include <QAction>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <fstream>

int CRecordingQtOperator::ShowMessageBox(MsgIcon, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.push_back(text);
    return 1;
}

void CRecordingQtOperator::ShowAppBox(const std::string&, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.push_back(text);
}

bool CRecordingQtOperator::AskYesNo(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.push_back(text);
    return confirmAnswer;
}

std::vector<std::string> CRecordingQtOperator::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

void CRecordingQtOperator::Clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.clear();
}

CGuiRig::CGuiRig(const std::vector<uint32_t>& defaultNumbers, unsigned integrationMs)
{
    for (SimMeterConfig m : CRig::DefaultMeters())
        for (uint32_t n : defaultNumbers)
            if (m.number == n) {
                m.number = Number(n);
                m_rig.AddMeter(m);
            }
    m_rig.SetIntegrationMs(integrationMs);
    std::string error;
    m_server = CSimServer::StartTcp(m_rig, "127.0.0.1", 0, &error);
    if (!m_server)
        qWarning("simulator: %s", error.c_str());
    if (!m_server || !m_dir.isValid())
        return;
    CWriteJournal::SetPath(Dir() + "/journal.csv");
    std::ofstream ini(Dir() + "/config.ini");
    ini << "[CONNECTION]\nport=TCP/IP\nIP=127.0.0.1\nTCPIPport=" << m_server->Port() << "\nspeed=9600\n";
}

CGuiRig::~CGuiRig()
{
    CWriteJournal::SetPath("");
}

CGeAnswerer::CGeAnswerer(TEditGeForm& form, CRig& rig)
    : m_form(form), m_rig(rig), m_timer(new QTimer(this)), m_nSeen(rig.ReferenceCount())
{
    connect(m_timer, &QTimer::timeout, this, &CGeAnswerer::Tick);
    m_timer->start(10);
}

void CGeAnswerer::Tick()
{
    if (!m_form.isVisible())
        return;
    m_rig.Poll();
    if (m_rig.ReferenceCount() == m_nSeen)
        return;   // the rig has not ended its integration yet
    QLineEdit* edit = m_form.EditGe();
    if (!m_script.isEmpty()) {
        const QString keys = m_script.takeFirst();
        if (keys == kEscape) {
            QTest::keyClick(edit, Qt::Key_Escape);
        } else {
            edit->selectAll();
            QTest::keyClicks(edit, keys);
            QTest::keyClick(edit, Qt::Key_Return);
        }
        if (!m_form.isVisible())
            m_nSeen = m_rig.ReferenceCount();
        return;
    }
    m_nSeen = m_rig.ReferenceCount();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(FixDecimalSeparator(FormatC("%.6f", m_rig.LastReferenceFlow()))));
    QTest::keyClick(edit, Qt::Key_Return);
    ++m_nAnswers;
}

bool ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

void ClickTool(QToolBar* bar, QAction* action)
{
    QWidget* button = bar->widgetForAction(action);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void ClickTab(QTabWidget* tabs, int index)
{
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void TypeIntoCell(CGridView* view, int col, int gridRow, const QString& keys)
{
    const QModelIndex index = view->GridModel()->IndexOfCell(col, gridRow);
    view->setCurrentIndex(index);
    view->edit(index);
    QWidget* editor = view->indexWidget(index);
    QVERIFY2(editor, "no editor opened");
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->selectAll();   // the keys replace the text, as after a double click
    QTest::keyClicks(editor, keys);
    QTest::keyClick(editor, Qt::Key_Return);
    // The view closes the editor in a queued call.
    QCoreApplication::processEvents();
}
