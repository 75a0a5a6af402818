#include "bridge/RokuKeys.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using A = RemoteAction;

TEST(RokuKeys, CapabilitiesOfATvAStickAndATvThatIsOff) {
    const std::vector<A> stick = {A::up,           A::down, A::left,     A::right,
                                  A::select,       A::back, A::menu,     A::home,
                                  A::playPause,    A::play, A::pause,    A::skipForward,
                                  A::skipBackward, A::text, A::launchApp};
    const std::vector<A> tv = {A::up,           A::down,     A::left,       A::right,
                               A::select,       A::back,     A::menu,       A::home,
                               A::playPause,    A::play,     A::pause,      A::skipForward,
                               A::skipBackward, A::volumeUp, A::volumeDown, A::mute,
                               A::wake,         A::sleep,    A::text,       A::launchApp};
    EXPECT_EQ(rokuCapabilities(false, false), stick);
    EXPECT_EQ(rokuCapabilities(false, true), stick);
    EXPECT_EQ(rokuCapabilities(true, false), tv);
    EXPECT_EQ(rokuCapabilities(true, true), std::vector<A>{A::wake});
}

TEST(RokuKeys, LiteralPathsOnePerScalar) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {}},
        {"a b", {"/keypress/Lit_a", "/keypress/Lit_%20", "/keypress/Lit_b"}},
        {"é", {"/keypress/Lit_%C3%A9"}},
        {"字", {"/keypress/Lit_%E5%AD%97"}},
        {"😀", {"/keypress/Lit_%F0%9F%98%80"}},
        {"%", {"/keypress/Lit_%25"}},
        {"é字😀%",
         {"/keypress/Lit_%C3%A9", "/keypress/Lit_%E5%AD%97", "/keypress/Lit_%F0%9F%98%80",
          "/keypress/Lit_%25"}},
    };
    for (const auto& [text, paths] : cases) {
        const auto got = rokuLiteralPaths(text);
        ASSERT_TRUE(got) << text;
        EXPECT_EQ(*got, paths) << text;
    }
}

TEST(RokuKeys, TextThatIsNotUtf8GivesNoPaths) {
    for (const std::string_view bad :
         {"\xff", "a\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "ok\x80"}) {
        EXPECT_FALSE(rokuLiteralPaths(bad)) << bad;
    }
}

TEST(RokuKeys, LaunchPathEncodesTheWholeId) {
    EXPECT_EQ(rokuLaunchPath("a/b c"), "/launch/a%2Fb%20c");
    EXPECT_EQ(rokuLaunchPath("tvinput.hdmi1"), "/launch/tvinput.hdmi1");
    EXPECT_EQ(rokuLaunchPath("12"), "/launch/12");
}

}  // namespace
}  // namespace orvel
