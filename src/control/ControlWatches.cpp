#include "control/ControlWatches.hpp"

#include <utility>

#include "control/ControlSummary.hpp"
#include "control/ControlTarget.hpp"
#include "core/ControlMessage.hpp"

namespace orvel {
namespace {

// Everything but the position. Keys of nlohmann objects are ordered, so equal summaries give
// equal texts.
std::string comparisonKey(nlohmann::json summary) {
    if (summary.is_object()) summary.erase("position");
    try {
        return summary.dump();
    } catch (const nlohmann::json::exception&) {
        return {};
    }
}

}  // namespace

std::shared_ptr<ControlWatches> ControlWatches::create(MainLoop& loop,
                                                       std::shared_ptr<AppStore> store) {
    return std::shared_ptr<ControlWatches>(new ControlWatches(loop, std::move(store)));
}

ControlWatches::ControlWatches(MainLoop& loop, std::shared_ptr<AppStore> store)
    : loop_(loop), store_(std::move(store)) {}

void ControlWatches::start(const nlohmann::json& request, std::shared_ptr<Stream> stream) {
    auto followed = ControlTarget::watched(store_->state(), request);
    if (!followed) {
        stream->send(ControlMessage::failure(followed.error()));
        stream->closeAfterSending();
        return;
    }
    watches_.push_back({std::move(stream), std::move(*followed), ""});
    if (!storeChanges_.active()) {
        storeChanges_ = store_->observe([weak = weak_from_this(), &loop = loop_] {
            loop.post([weak] {
                if (auto self = weak.lock()) self->push();
            });
        });
    }
    push();
}

void ControlWatches::push() {
    std::erase_if(watches_, [](const Watch& watch) { return watch.stream->isClosed(); });
    const auto& state = store_->state();
    for (auto& watch : watches_) {
        const TVDevice* device = state.savedDevice(watch.deviceID.value_or(state.selectedID));
        if (!device) continue;
        auto summary = ControlSummary::build(*device, state, loop_.now());
        auto key = comparisonKey(summary);
        if (key == watch.last) continue;
        watch.last = std::move(key);
        watch.stream->send({{"ok", true}, {"tv", std::move(summary)}});
    }
    if (watches_.empty()) storeChanges_.reset();
}

}  // namespace orvel
