#include "bridge/companion/CompanionCredential.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../Hex.hpp"

namespace orvel {
namespace {

CompanionCredential sampleCredential() {
    return {crypto::ed25519Generate(), "b1:ü", "5B7E0C1A-3D2F",
            crypto::ed25519Generate().publicKey};
}

TEST(CompanionCredential, TextReadsBackAndHasItsVersionedForm) {
    const auto credential = sampleCredential();
    const std::string text = credential.text();
    std::string expected = "companion-v1:";
    expected.append(hexOf(credential.ourKeys.seed)).append(":");
    expected.append(hexOf(credential.ourKeys.publicKey)).append(":");
    expected.append(hexOf(crypto::bytesOf(credential.ourId))).append(":");
    expected.append(hexOf(crypto::bytesOf(credential.tvId))).append(":");
    expected.append(hexOf(credential.tvPublicKey));
    EXPECT_EQ(text, expected);

    for (const std::string& stored :
         {text, text + ":0011:ab", "companion-v2" + text.substr(12) + ":ff"}) {
        auto parsed = CompanionCredential::parse(stored);
        ASSERT_TRUE(parsed) << stored << ": " << parsed.error();
        EXPECT_EQ(parsed->text(), text) << "every field, as the check above spells them";
    }
}

TEST(CompanionCredential, RefusesWhatItCannotUseWithASentence) {
    const auto good = sampleCredential();
    const std::vector<std::string> fields = {"companion-v1",
                                             hexOf(good.ourKeys.seed),
                                             hexOf(good.ourKeys.publicKey),
                                             hexOf(crypto::bytesOf("id")),
                                             hexOf(crypto::bytesOf(good.tvId)),
                                             hexOf(good.tvPublicKey)};
    const auto with = [&](std::size_t index, const std::string& value) {
        std::string text;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) text += ':';
            text += i == index ? value : fields[i];
        }
        return text;
    };
    const std::string text = with(0, fields[0]);
    ASSERT_TRUE(CompanionCredential::parse(text));
    struct Case {
        const char* name;
        std::string text;
    };
    for (const auto& c :
         {Case{"empty", ""}, Case{"another protocol", with(0, "airplay-v1")},
          Case{"version zero", with(0, "companion-v0")},
          Case{"version not a number", with(0, "companion-vx")},
          Case{"version with a leading zero", with(0, "companion-v01")},
          Case{"a field short", text.substr(0, text.rfind(':'))},
          Case{"not hex", with(1, fields[1].substr(0, 62) + "zz")},
          Case{"odd digits", with(1, fields[1].substr(1))}, Case{"empty identifier", with(3, "")},
          Case{"short TV key", with(5, fields[5].substr(2))},
          Case{"seed of another key", with(1, hexOf(crypto::ed25519Generate().seed))}}) {
        auto parsed = CompanionCredential::parse(c.text);
        ASSERT_FALSE(parsed) << c.name;
        EXPECT_FALSE(parsed.error().empty()) << c.name;
    }
}

}  // namespace
}  // namespace orvel
