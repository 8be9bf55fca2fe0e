#pragma once
// What the window tests share: the Qt operator recording messages instead of
// showing them, the simulated rig on loopback with a config.ini pointing at
// it, the operator at the reference flow dialog, and real clicks and key
// strokes on the window's controls.
#include "sim/Rig.h"
#include "sim/SimServer.h"
#include "ui/platform/QtOperator.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CGridView;
class TEditGeForm;
class QAction;
class QTabWidget;
class QTimer;
class QToolBar;

// Hands calls to the GUI thread and logs them like the program, but records
// the boxes instead of showing them.
class CRecordingQtOperator : public CQtOperator {
public:
    // Questions are recorded like messages; answered with confirmAnswer.
    std::atomic<bool> confirmAnswer{false};
    void Beep(unsigned, unsigned) override {}
    std::vector<std::string> Texts() const;
    void Clear();

protected:
    int ShowMessageBox(MsgIcon icon, const std::string& text) override;
    void ShowAppBox(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
};

// The default rig's meters with these numbers, on TCP loopback; config.ini
// in a temporary folder names the gateway, and the write journal goes there. The meters answer to six-digit
// numbers (Number()), which every edit mask of the meter column admits.
class CGuiRig {
public:
    explicit CGuiRig(const std::vector<uint32_t>& defaultNumbers, unsigned integrationMs = 300);
    // 1100000N of the default rig answers here as 11000N.
    static uint32_t Number(uint32_t defaultNumber) { return defaultNumber - 11000000 + 110000; }
    ~CGuiRig();

    CRig& Rig() { return m_rig; }
    // The folder of config.ini, Log/ and BACKUP/.
    std::string Dir() const { return m_dir.path().toStdString(); }
    bool Ok() const { return m_server != nullptr && m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    CRig m_rig;
    std::unique_ptr<CSimServer> m_server;
};

// Types the rig's reference flow over the cycle just ended into the dialog
// whenever it comes up, and presses Enter.
class CGeAnswerer : public QObject {
    Q_OBJECT
public:
    CGeAnswerer(TEditGeForm& form, CRig& rig);
    int Answers() const { return m_nAnswers; }
    // Typed (each with Enter) before the rig's value, one a tick; kEscape presses Escape instead.
    void Script(const QStringList& keys) { m_script = keys; }
    static inline const QString kEscape = QStringLiteral("<Esc>");

private:
    void Tick();

    TEditGeForm& m_form;
    CRig& m_rig;
    QTimer* m_timer;
    unsigned m_nSeen;
    int m_nAnswers = 0;
    QStringList m_script;
};

// Shows the window and waits until it is the active one (which loads config.ini).
bool ShowActive(QWidget* window);
// Real clicks and key strokes.
void ClickTool(QToolBar* bar, QAction* action);
void ClickTab(QTabWidget* tabs, int index);
// Opens the cell's editor, types the keys and presses Enter.
void TypeIntoCell(CGridView* view, int col, int gridRow, const QString& keys);
