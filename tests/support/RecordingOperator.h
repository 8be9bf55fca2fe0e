#pragma once
// Test stand-in for the operator: records every message and beep.
#include "common/OperatorInterface.h"
#include <mutex>
#include <vector>

struct RecordedMessage {
    enum Kind { Error, Warning, Information, App, Question } kind;
    std::string text;
};

class CRecordingOperator : public IOperator {
public:
    CRecordingOperator();   // installs itself as the process operator
    ~CRecordingOperator() override;   // restores the terminal operator

    int MessageDialog(MsgIcon icon, const std::string& text) override;
    void AppMessage(const std::string& caption, const std::string& text) override;
    // Recorded as a Question; answers confirmAnswer.
    bool Confirm(const std::string& text) override;
    void Beep(unsigned hz, unsigned ms) override;
    void RunOnGuiThread(const std::function<void()>& fn) override;

    std::vector<RecordedMessage> Messages() const;
    std::vector<std::string> Texts() const;
    std::string LastCaption() const;
    int BeepCount() const;
    int GuiCalls() const;
    void Clear();

    // Called with each message as it is shown (e.g. to measure when it closed).
    std::function<void(const RecordedMessage&)> onMessage;
    bool confirmAnswer = false;

private:
    void Record(RecordedMessage::Kind kind, const std::string& text);
    mutable std::mutex m_lock;
    std::vector<RecordedMessage> m_messages;
    std::string m_lastCaption;
    int m_beeps = 0;
    int m_guiCalls = 0;
};
