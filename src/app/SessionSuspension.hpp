#pragma once
// SessionSuspension: what the app does when the computer sleeps and wakes and when its user's
// session is locked or left. Sleep closes the remote, lets go of the media keys and suspends
// the TV session; the wake resumes it and takes the keys again. A locked or inactive session
// closes the remote and lets go of the keys until it is in front again.
//
//   SessionSuspension suspension(core, [&] { remote.close(); });
//
// Owner: DesktopApp, or main() headless. Thread: the Qt loop's. Listens from construction to
// destruction; without a system bus or logind it listens to nothing and says nothing.

#include <functional>
#include <memory>

namespace orvel {

class HeadlessApp;
class SessionObserver;

class SessionSuspension {
public:
    // `core` must outlive this; `closePanel` may be empty (headless).
    SessionSuspension(HeadlessApp& core, std::function<void()> closePanel);
    ~SessionSuspension();
    SessionSuspension(const SessionSuspension&) = delete;
    SessionSuspension& operator=(const SessionSuspension&) = delete;

private:
    void closeRemote() const;
    void suspendKeys(bool suspended);

    HeadlessApp& core_;
    std::function<void()> closeRemote_;
    bool asleep_ = false;
    std::unique_ptr<SessionObserver> observer_;
};

}  // namespace orvel
