#pragma once
// DemoServices: what a demo session runs on in place of the user's own, so that a demo run
// leaves no trace. The settings file is read but never moved aside or written (changes live in
// memory) and its paired TVs give way to the made-up ones, the living room last connected; the
// credentials are in memory, so no keyring or credentials file is opened; the bridge is a
// DemoBridge.
//
//   auto demo = DemoServices::open(loop, AppPaths::defaultsFile(env).value_or(""));
//   auto blocked = DemoServices::open(loop, "", DemoBridge::Scene::blocked);  // no file
//   AppStore::create({.defaults = *demo.defaults, .credentials = *demo.credentials,
//                     .bridge = std::move(demo.bridge), .demo = true, ...});
//
// Loop thread; the services must outlive the store that uses them.

#include <memory>
#include <string>

#include "platform/Defaults.hpp"
#include "platform/MainLoop.hpp"
#include "platform/MemoryCredentialStore.hpp"
#include "session/DemoBridge.hpp"

namespace orvel {

struct DemoServices {
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<MemoryCredentialStore> credentials;
    std::unique_ptr<DemoBridge> bridge;

    // The living room of `scene` is the last connected TV.
    static DemoServices open(MainLoop& loop, const std::string& defaultsPath,
                             DemoBridge::Scene scene = DemoBridge::Scene::playing);
};

}  // namespace orvel
