#pragma once
// Acknowledgements: the licence notices of the libraries the programs are built on, read from
// THIRD_PARTY_NOTICES.txt beside the app (the build tree) or in ../share/doc/orvel-remote from
// there (an installed tree), with one sentence in their place when neither can be read.
//
//   const std::string notices = Acknowledgements::text(executableDirectory);
//   credit->setText(QString::fromUtf8(Acknowledgements::kBuiltOn.data()));
//
// Owner: none. Thread: any (reads files only). Nothing to end.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvel::Acknowledgements {

inline constexpr std::string_view kFileName = "THIRD_PARTY_NOTICES.txt";
// The installed copy, relative to the program's folder.
inline constexpr std::string_view kInstalledFolder = "../share/doc/orvel-remote";
// The settings' credit line.
inline constexpr std::string_view kBuiltOn =
    "Built on Qt, libcurl, pugixml, nlohmann/json, ICU, libsecret, GLib, xcb, OpenSSL and "
    "Avahi.";
inline constexpr std::string_view kFallback =
    "Orvel Remote is built on Qt, libcurl, pugixml, nlohmann/json, ICU, libsecret, GLib, xcb, "
    "OpenSSL and Avahi. Their licence notices are in THIRD_PARTY_NOTICES.txt in the source "
    "repository.";
// A notices file is a few hundred kilobytes; anything past this is not ours and is not read.
inline constexpr std::size_t kMaxFileBytes = std::size_t{4} << 20;

// The first readable, non-empty notices file of the two places, as its UTF-8 bytes, else
// kFallback.
std::string text(const std::string& executableDirectory);

// The folder of /proc/self/exe, not canonicalised further; empty when unreadable.
std::string executableDirectory();

}  // namespace orvel::Acknowledgements
