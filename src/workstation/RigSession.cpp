#include "workstation/RigSession.h"

#include "common/OperatorInterface.h"
#include "common/SettingsFile.h"

bool CRigSession::Load(const std::string& configPath, std::string& why)
{
    m_reference.reset();
    m_instruments.reset();
    CSettingsFile ini;
    RigConfig config;
    if (!ini.Load(configPath) || !ReadRigConfig(ini, config)) {
        why = ini.Errors().empty() ? configPath + ": cannot be read" : ini.Errors().front();
        for (size_t i = 1; i < ini.Errors().size(); ++i)
            why += "\n" + ini.Errors()[i];
        return false;
    }
    if (!config.modbus)
        return true;
    auto instruments = std::make_unique<CRigInstruments>(config);
    RigSample sample;
    if (!instruments->Open(why) || !instruments->Read(sample, why))
        return false;
    m_instruments = std::move(instruments);
    m_reference = std::make_unique<CRigReferenceFlow>(*m_instruments);
    return true;
}

std::string CRigSession::LastProblem() const
{
    std::lock_guard lock(m_lock);
    return m_lastProblem;
}

ReferenceFlowPrompt CRigSession::Prompt(Confirm confirm)
{
    return [this, confirm]() -> std::optional<double> {
        std::string why;
        const std::optional<double> ge = m_reference->Ge(why);
        {
            std::lock_guard lock(m_lock);
            m_lastProblem = ge ? std::string() : why;
        }
        if (!ge) {
            Operator().MessageDialog(MsgIcon::Warning, "Эталонный расход не получен: " + why + ". Точка не записана.");
            return std::nullopt;
        }
        if (confirm && !Unattended())
            return confirm(*ge, *m_reference);
        return ge;
    };
}
