#include "bridge/roku/RokuKeys.hpp"

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

// The backend tests type non-ASCII text and launch an encoded id; these add the edges.
TEST(RokuKeys, LiteralAndLaunchPathsEncodeEveryByteThatNeedsIt) {
    EXPECT_EQ(rokuLiteralPaths(""), std::vector<std::string>{});
    EXPECT_EQ(
        rokuLiteralPaths("a b"),
        (std::vector<std::string>{"/keypress/Lit_a", "/keypress/Lit_%20", "/keypress/Lit_b"}));
    EXPECT_FALSE(rokuLiteralPaths("a\xc3")) << "the scalar table has the other ill-formed texts";
    EXPECT_EQ(rokuLaunchPath("tvinput.hdmi1"), "/launch/tvinput.hdmi1");
}

}  // namespace
}  // namespace orvel
