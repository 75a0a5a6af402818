#pragma once
// FirstHotKeyBackend: the first of several hot-key backends that starts, in the order given.
// A Wayland session tries the desktop portal before X11, whose grabs reach only the programs
// of its own server there; a desktop without the portal still gets the X11 grab.
//
//   FirstHotKeyBackend backend(makeList(std::move(portal), std::move(x11)));
//   backend.start(events);   // the portal when it answers, else X11, else the last failure
//
// Owner: GlobalHotKey. Thread: the loop thread, as its backends. Each start() chooses again
// from the top; stop() and destruction stop the chosen one.

#include <memory>
#include <vector>

#include "input/HotKeyBackend.hpp"

namespace orvel {

class FirstHotKeyBackend final : public HotKeyBackend {
public:
    explicit FirstHotKeyBackend(std::vector<std::unique_ptr<HotKeyBackend>> backends);
    ~FirstHotKeyBackend() override;
    FirstHotKeyBackend(const FirstHotKeyBackend&) = delete;
    FirstHotKeyBackend& operator=(const FirstHotKeyBackend&) = delete;

    // An unsupported failure when the list is empty; else the last backend's failure, when
    // every one failed.
    std::optional<StartFailure> start(Events events) override;
    std::variant<Token, Refusal> grab(const KeyboardShortcut& shortcut,
                                      std::uint32_t identifier) override;
    void ungrab(Token token) override;
    void stop() override;

    // The backend in use: an index into the list, or none before a start succeeds.
    std::optional<std::size_t> chosen() const { return chosen_; }

    // A refusal's code before any backend started.
    static constexpr std::int32_t kNotStarted = -2;

private:
    std::vector<std::unique_ptr<HotKeyBackend>> backends_;
    std::optional<std::size_t> chosen_;
};

}  // namespace orvel
