#pragma once
// Turns the connection dialog's emblem while the dialog's own thread is blocked in the provider
// search: one frame every 80 ms through frames 0..22, starting with 1. The thread only advances
// the dialog's Frame (under the dialog's paint lock) and asks for a repaint; Qt paints on the
// GUI thread.

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ddpd {

class TDDPDForm;

class TDDPDAnimationThread {
public:
    static constexpr int kFramePeriodMs = 80;
    static constexpr int kFrameCount = 23; // the strip holds 24; the last is never shown

    // Sets the dialog's Frame to 0 and starts running at once.
    explicit TDDPDAnimationThread(TDDPDForm* AForm);
    // Ends the thread (at once, not after its sleep), then puts the emblem back at rest.
    ~TDDPDAnimationThread();
    TDDPDAnimationThread(const TDDPDAnimationThread&) = delete;
    TDDPDAnimationThread& operator=(const TDDPDAnimationThread&) = delete;

    void Terminate();

    TDDPDForm* Form;

private:
    void Execute();
    std::mutex Lock;
    std::condition_variable Wake;
    bool Terminated = false;
    std::thread Thread;
};

} // namespace ddpd
