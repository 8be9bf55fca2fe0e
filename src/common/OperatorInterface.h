#pragma once
// The one way the core reaches the operator: messages, the beep, and calls
// that must run on the GUI thread. The Qt program, the terminal tools and the
// tests each provide an implementation.
#include <functional>
#include <string>

enum class MsgIcon { Error, Warning, Information };

class IOperator {
public:
    virtual ~IOperator() = default;
    // Modal message with an icon and one OK button; returns the dialog result (1 = OK).
    virtual int MessageDialog(MsgIcon icon, const std::string& text) = 0;
    // A question with "Да" and "Нет"; true for "Да". Where no one can be
    // asked (a terminal tool), the answer is no.
    virtual bool Confirm(const std::string& text)
    {
        (void)text;
        return false;
    }
    // The program's own message box: OK button, no icon, the given caption.
    virtual void AppMessage(const std::string& caption, const std::string& text) = 0;
    // A notice that needs no answer (a restart under way, a copy made): the
    // program's message box, or only a line in the log while no one watches.
    virtual void Notice(const std::string& caption, const std::string& text) { AppMessage(caption, text); }
    // One tone; returns when it has sounded.
    virtual void Beep(unsigned hz, unsigned ms) = 0;
    // Runs fn on the GUI thread and returns after it ran.
    virtual void RunOnGuiThread(const std::function<void()>& fn) = 0;
};

// The word for a kind of message, the same in every program: the caption of
// the window's box, the label of a line on the terminal.
const char* MessageKindText(MsgIcon kind);
const char* QuestionKindText();

// The process-wide operator; the terminal one until another is installed.
IOperator& Operator();
// Installs op (not owned); null restores the terminal operator.
void SetOperator(IOperator* op);

// A run goes on by itself (a test plan): notices and information messages
// wait for no one; errors still stop and ask.
void SetUnattendedRun(bool unattended);
bool UnattendedRun();
