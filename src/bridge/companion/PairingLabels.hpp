#pragma once
// PairingLabels: the fixed texts both sides of pair-setup and pair-verify feed to SRP, HKDF and the
// nonces, in one place so that our client and the accessory of the tests read the same.

#include <string_view>

namespace orvel::PairingLabels {

inline constexpr std::string_view kUser = "Pair-Setup";
inline constexpr std::string_view kEncryptSalt = "Pair-Setup-Encrypt-Salt";
inline constexpr std::string_view kEncryptInfo = "Pair-Setup-Encrypt-Info";
inline constexpr std::string_view kControllerSignSalt = "Pair-Setup-Controller-Sign-Salt";
inline constexpr std::string_view kControllerSignInfo = "Pair-Setup-Controller-Sign-Info";
inline constexpr std::string_view kAccessorySignSalt = "Pair-Setup-Accessory-Sign-Salt";
inline constexpr std::string_view kAccessorySignInfo = "Pair-Setup-Accessory-Sign-Info";
inline constexpr std::string_view kM5Nonce = "PS-Msg05";
inline constexpr std::string_view kM6Nonce = "PS-Msg06";

inline constexpr std::string_view kVerifySalt = "Pair-Verify-Encrypt-Salt";
inline constexpr std::string_view kVerifyInfo = "Pair-Verify-Encrypt-Info";
inline constexpr std::string_view kM2Nonce = "PV-Msg02";
inline constexpr std::string_view kM3Nonce = "PV-Msg03";

}  // namespace orvel::PairingLabels
