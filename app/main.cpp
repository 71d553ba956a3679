// The program's entry: a desktop to run on, the windows, the message loop. SIGTERM and SIGINT
// close the main window like its Close button, so a recording is finished first.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <thread>

#include "app/CommandLine.h"
#include "app/Mainunit.h"
#include "app/Registration.h"

namespace {

// Waits for SIGTERM and SIGINT on a thread of its own (they are blocked everywhere else) and
// asks the main window to close; a signal that is not one of those ends the wait.
class SignalWatch
{
public:
    SignalWatch()
    {
        sigemptyset(&FSignals);
        sigaddset(&FSignals, SIGTERM);
        sigaddset(&FSignals, SIGINT);
        sigaddset(&FSignals, SIGUSR1);
        // Before any other thread starts, so every thread inherits the mask.
        pthread_sigmask(SIG_BLOCK, &FSignals, nullptr);
    }
    void Start(HWND Window)
    {
        FThread = std::thread([this, Window] {
            for (;;) {
                int signal = 0;
                if (sigwait(&FSignals, &signal) != 0 || signal == SIGUSR1)
                    return;
                PostMessageA(Window, WM_CLOSE, 0, 0);
            }
        });
    }
    ~SignalWatch()
    {
        if (FThread.joinable()) {
            pthread_kill(FThread.native_handle(), SIGUSR1);
            FThread.join();
        }
    }

private:
    sigset_t FSignals;
    std::thread FThread;
};

}   // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> exitCode = HandleCommandLine(argc, argv, std::cout, std::cerr))
        return *exitCode;
    SignalWatch signals;
    std::string error;
    if (!InstallApplicationDevices(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    try {
        App::RegisterAll();
        CreateApplicationForms();
        signals.Start(MainForm->Handle());
        Application->Run();
    } catch (const Exception& e) {
        Application->ShowException(&e);
    } catch (const std::exception& e) {
        Exception wrapped(e.what());
        Application->ShowException(&wrapped);
    }
    // The windows go while the display is still there: the capture component finishes a
    // recording and lets go of the camera.
    Application->DestroyComponents();
    MainForm = nullptr;
    return 0;
}
