#include "GuiHandOver.h"

#include "common/OperatorInterface.h"

#include <condition_variable>
#include <exception>

struct CGuiHandOver::State {
    std::mutex lock;
    std::condition_variable cond;
    std::function<void()> fn;
    std::exception_ptr error;
    bool released = false;
    bool started = false;      // fn has begun on the GUI thread
    bool done = false;         // fn returned, or the operator dropped the call
    bool courierDone = false;  // the operator's call has returned
};

CGuiHandOver::~CGuiHandOver()
{
    Release();
    Reap(false);
}

void CGuiHandOver::Reap(bool wait)
{
    if (!m_courier.joinable())
        return;
    bool finished = wait;
    if (!finished && m_pState) {
        std::lock_guard<std::mutex> lock(m_pState->lock);
        finished = m_pState->courierDone;
    }
    if (finished)
        m_courier.join();
    else
        m_courier.detach();   // still queued on a GUI thread that is busy; it skips fn
}

CGuiHandOver::Outcome CGuiHandOver::Run(std::function<void()> fn)
{
    std::shared_ptr<State> st;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bReleased)
            return Released;
        // The previous call has returned, so its courier is about to end.
        Reap(true);
        st = std::make_shared<State>();
        st->fn = std::move(fn);
        m_pState = st;
        m_courier = std::thread([st] {
            Operator().RunOnGuiThread([st] {
                std::function<void()> call;
                {
                    std::lock_guard<std::mutex> l(st->lock);
                    if (st->released)
                        return;
                    st->started = true;
                    call = std::move(st->fn);
                }
                std::exception_ptr error;
                try {
                    call();
                } catch (...) {
                    error = std::current_exception();
                }
                {
                    std::lock_guard<std::mutex> l(st->lock);
                    st->error = error;
                    st->done = true;
                }
                st->cond.notify_all();
            });
            {
                std::lock_guard<std::mutex> l(st->lock);
                st->courierDone = true;
                st->done = true;
            }
            st->cond.notify_all();
        });
    }
    std::unique_lock<std::mutex> l(st->lock);
    st->cond.wait(l, [&] { return st->done || (st->released && !st->started); });
    if (st->error)
        std::rethrow_exception(st->error);
    return st->started ? Done : Released;
}

void CGuiHandOver::Release()
{
    std::shared_ptr<State> st;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bReleased = true;
        st = m_pState;
    }
    if (!st)
        return;
    {
        std::lock_guard<std::mutex> l(st->lock);
        st->released = true;
        if (!st->started)
            st->fn = nullptr;
    }
    st->cond.notify_all();
}
