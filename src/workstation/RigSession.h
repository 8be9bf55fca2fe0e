#pragma once
// The rig of config.ini [RIG] for the series: the reference gives Ge and the
// drive sets the flow. reference=manual (or no section): not active.
#include "rig/FlowSettling.h"
#include "rig/RigInstruments.h"
#include "workstation/RigReferenceFlow.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class CRigSession {
public:
    // False with the message when [RIG] cannot work (naming the key) or the rig does not answer.
    bool Load(const std::string& configPath, std::string& why);
    bool Active() const { return m_instruments != nullptr; }
    bool HasDrive() const { return Active() && m_instruments->Config().HasDrive(); }
    bool Unattended() const { return Active() && m_instruments->Config().unattended; }
    CRigInstruments& Instruments() { return *m_instruments; }
    CRigReferenceFlow& Reference() { return *m_reference; }

    // The operator's confirmation of a Ge the reference gave (none: the cycle is dropped).
    using Confirm = std::function<std::optional<double>(double ge, CRigReferenceFlow& reference)>;
    // The engine's prompt: Ge from the reference, confirmed unless unattended or no confirm is
    // given; a reference that failed is a warning naming why, and no point.
    ReferenceFlowPrompt Prompt(Confirm confirm = {});
    // Why the last prompt gave no Ge ("" when it gave one).
    std::string LastProblem() const;

private:
    std::unique_ptr<CRigInstruments> m_instruments;
    std::unique_ptr<CRigReferenceFlow> m_reference;
    mutable std::mutex m_lock;
    std::string m_lastProblem;
};
