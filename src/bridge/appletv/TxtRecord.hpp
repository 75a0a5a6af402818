#pragma once
// readTxtRecord: a DNS-SD TXT record ("key=value" strings) as a map. Keys are lower-cased,
// since TVs write them in mixed case; a key without "=" has an empty value, and a key given
// twice keeps its first value (RFC 6763, 6.4). Pure; any thread.
//
//   readTxtRecord({"rpMd=AppleTV6,2", "rpFl=0x36782"})   // {"rpfl": "0x36782", "rpmd": ...}

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

std::map<std::string, std::string> readTxtRecord(const std::vector<std::string_view>& entries);

}  // namespace orvel
