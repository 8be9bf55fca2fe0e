#include "RecordingOperator.h"

CRecordingOperator::CRecordingOperator() { SetOperator(this); }
CRecordingOperator::~CRecordingOperator() { SetOperator(nullptr); }

void CRecordingOperator::Record(RecordedMessage::Kind kind, const std::string& text)
{
    RecordedMessage m{kind, text};
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_messages.push_back(m);
    }
    if (onMessage)
        onMessage(m);
}

int CRecordingOperator::MessageDialog(MsgIcon icon, const std::string& text)
{
    Record(icon == MsgIcon::Error     ? RecordedMessage::Error
           : icon == MsgIcon::Warning ? RecordedMessage::Warning
                                      : RecordedMessage::Information,
           text);
    return 1;
}

void CRecordingOperator::AppMessage(const std::string& caption, const std::string& text)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lastCaption = caption;
    }
    Record(RecordedMessage::App, text);
}

bool CRecordingOperator::Confirm(const std::string& text)
{
    Record(RecordedMessage::Question, text);
    return confirmAnswer;
}

void CRecordingOperator::Beep(unsigned, unsigned)
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_beeps;
}

void CRecordingOperator::RunOnGuiThread(const std::function<void()>& fn)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_guiCalls;
    }
    fn();
}

std::vector<RecordedMessage> CRecordingOperator::Messages() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_messages;
}

std::vector<std::string> CRecordingOperator::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::string> out;
    for (const auto& m : m_messages)
        out.push_back(m.text);
    return out;
}

std::string CRecordingOperator::LastCaption() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastCaption;
}

int CRecordingOperator::BeepCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_beeps;
}

int CRecordingOperator::GuiCalls() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_guiCalls;
}

void CRecordingOperator::Clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_messages.clear();
    m_beeps = 0;
    m_guiCalls = 0;
}
