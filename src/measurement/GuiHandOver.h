#pragma once
// Runs a call on the GUI thread through the operator interface and waits for it,
// like a synchronous hand-over, but can be released from another thread: a
// released hand-over returns at once and the call, if it has not begun yet,
// never runs. The blocking call to the operator happens on a courier thread,
// so a GUI thread that is itself waiting for the caller (shutdown) cannot
// deadlock with it.
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CGuiHandOver {
public:
    enum Outcome { Done, Released };

    CGuiHandOver() = default;
    ~CGuiHandOver();   // releases; joins a finished courier, lets a stuck one go
    CGuiHandOver(const CGuiHandOver&) = delete;
    CGuiHandOver& operator=(const CGuiHandOver&) = delete;

    // Runs fn on the GUI thread and waits until it returned (Done) or until
    // Release was called before fn began (Released). A call that has begun
    // is always waited for.
    Outcome Run(std::function<void()> fn);
    // Releases the pending and every later Run.
    void Release();

private:
    struct State;
    void Reap(bool wait);

    std::mutex m_lock;
    bool m_bReleased = false;
    std::shared_ptr<State> m_pState;   // of the pending or last Run
    std::thread m_courier;
};
