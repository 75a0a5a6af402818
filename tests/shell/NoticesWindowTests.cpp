// The Acknowledgements window on the offscreen platform: its text, centred, and that the
// owner's slot gets one window, shown again rather than built again.

#include "shell/NoticesWindow.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScreen>

#include "../support/ScratchDir.hpp"

namespace orvel::test {
namespace {

auto noticesWindows() {
    return std::ranges::count_if(QApplication::topLevelWidgets(), [](QWidget* widget) {
        return qobject_cast<NoticesWindow*>(widget);
    });
}

TEST(NoticesWindow, ShowsTheNoticesOnceBuilt) {
    ScratchDir scratch;
    ScratchDir::write(scratch / "THIRD_PARTY_NOTICES.txt", "libcurl: curl licence ©\n");
    std::unique_ptr<NoticesWindow> slot;

    NoticesWindow& first = NoticesWindow::present(slot, scratch.path());
    EXPECT_TRUE(first.isVisible());
    EXPECT_EQ(first.textView()->toPlainText(), QString::fromUtf8("libcurl: curl licence ©\n"));
    if (const QScreen* screen = first.screen()) {
        EXPECT_EQ(first.geometry().center(), screen->availableGeometry().center());
    }

    // Closed and asked for again: the same window, with the text it was built with.
    first.close();
    EXPECT_FALSE(first.isVisible());
    ScratchDir::write(scratch / "THIRD_PARTY_NOTICES.txt", "changed");
    NoticesWindow& second = NoticesWindow::present(slot, scratch.path());
    EXPECT_EQ(&second, &first);
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(second.textView()->toPlainText(), QString::fromUtf8("libcurl: curl licence ©\n"));
    EXPECT_EQ(noticesWindows(), 1);

    slot.reset();
    EXPECT_EQ(noticesWindows(), 0);
}

}  // namespace
}  // namespace orvel::test
