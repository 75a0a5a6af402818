#include "session/DemoServices.hpp"

#include "session/SessionDefaults.hpp"

namespace orvel {

DemoServices DemoServices::open(MainLoop& loop, const std::string& defaultsPath,
                                DemoBridge::Scene scene) {
    DemoServices services{std::make_unique<Defaults>(defaultsPath, Defaults::ReadOnly{}),
                          std::make_unique<MemoryCredentialStore>(),
                          std::make_unique<DemoBridge>(loop, scene)};
    const auto devices = DemoBridge::devices(scene);
    SessionDefaults::saveDevices(devices, *services.defaults);
    services.defaults->setString(SessionDefaults::kLastDevice, devices.front().id);
    for (const auto& device : devices) {
        static_cast<void>(services.credentials->save(device.id, DemoBridge::credentials()));
    }
    return services;
}

}  // namespace orvel
