#include "DDPDAnimationThread.h"

#include "DDPDForm.h"

#include <chrono>

namespace ddpd {

TDDPDAnimationThread::TDDPDAnimationThread(TDDPDForm* AForm) : Form(AForm) {
    Form->SetFrame(0);
    Thread = std::thread([this] { Execute(); });
}

TDDPDAnimationThread::~TDDPDAnimationThread() {
    Terminate();
    if (Thread.joinable())
        Thread.join();
    Form->SetFrame(0);
    Form->RequestEmblemRepaint();
}

void TDDPDAnimationThread::Terminate() {
    {
        std::lock_guard<std::mutex> g(Lock);
        Terminated = true;
    }
    Wake.notify_all();
}

void TDDPDAnimationThread::Execute() {
    std::unique_lock<std::mutex> g(Lock);
    while (!Terminated) {
        Form->SetFrame((Form->GetFrame() + 1) % kFrameCount);
        Form->RequestEmblemRepaint();
        Wake.wait_for(g, std::chrono::milliseconds(kFramePeriodMs), [&] { return Terminated; });
    }
}

} // namespace ddpd
