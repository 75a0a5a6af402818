#pragma once
// QtMainLoop: the MainLoop over Qt's event loop, so the session, the control server, the bridge
// client and the key backends run unchanged beside the interface. Posts go through Qt's queue
// (any thread, in order); timers keep their own heap behind one precise QTimer, so they run in
// due order and never early; descriptors are watched with QSocketNotifier.
//
//   QApplication app(argc, argv);
//   QtMainLoop loop;
//   loop.run();   // until loop.quit()
//
// Owner: the application, on the thread of its QCoreApplication, which must exist first and
// outlive it. Destruction drops what never ran and releases every watch.

#include <functional>
#include <memory>

#include "platform/MainLoop.hpp"

namespace orvel {

class QtMainLoop final : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;
    QtMainLoop(const QtMainLoop&) = delete;
    QtMainLoop& operator=(const QtMainLoop&) = delete;

    void post(std::function<void()> work) override;
    CancelHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;
    bool isLoopThread() const override;

    // Runs Qt's event loop until quit().
    void run();
    // Thread-safe; run() returns once the loop next turns.
    void quit();

    // Loop thread only. Calls `onReadable` whenever `fd` is readable (or hung up) until the
    // handle is cancelled or destroyed; the descriptor stays the caller's.
    [[nodiscard]] CancelHandle watchReadable(int fd, std::function<void()> onReadable);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel
