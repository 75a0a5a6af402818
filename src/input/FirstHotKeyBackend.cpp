#include "input/FirstHotKeyBackend.hpp"

#include <utility>

namespace orvel {

FirstHotKeyBackend::FirstHotKeyBackend(std::vector<std::unique_ptr<HotKeyBackend>> backends)
    : backends_(std::move(backends)) {}

FirstHotKeyBackend::~FirstHotKeyBackend() {
    stop();
}

std::optional<HotKeyBackend::StartFailure> FirstHotKeyBackend::start(Events events) {
    if (chosen_) return std::nullopt;
    std::optional<StartFailure> failure = StartFailure{.unsupported = true};
    for (std::size_t i = 0; i < backends_.size(); ++i) {
        failure = backends_[i]->start(events);
        if (!failure) {
            chosen_ = i;
            break;
        }
    }
    return failure;
}

std::variant<HotKeyBackend::Token, HotKeyBackend::Refusal> FirstHotKeyBackend::grab(
    const KeyboardShortcut& shortcut, std::uint32_t identifier) {
    if (!chosen_) return Refusal{.code = kNotStarted};
    return backends_[*chosen_]->grab(shortcut, identifier);
}

void FirstHotKeyBackend::ungrab(Token token) {
    if (chosen_) backends_[*chosen_]->ungrab(token);
}

void FirstHotKeyBackend::stop() {
    if (!chosen_) return;
    backends_[*chosen_]->stop();
    chosen_.reset();
}

}  // namespace orvel
