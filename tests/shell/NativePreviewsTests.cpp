// The preview renderer: sizes and colours of each picture, and the first failure stopping the set.

#include "shell/NativePreviews.hpp"

#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"
#include "ShellSessionHarness.hpp"
#include "shell/Appearance.hpp"
#include "shell/MenuBarPreview.hpp"
#include "shell/RemoteView.hpp"

namespace orvel::test {
namespace {

std::vector<std::string> pngsIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

TEST(NativePreviews, CaptureIsTheFittingSizeAtTwiceThePixelsOnTheWindowColour) {
    struct Case {
        const char* name;
        QPalette palette;
        NativePreviews::Builder build;
        int width;  // points
    };
    const Case cases[] = {
        {"menubar light", Appearance::lightPalette(),
         [](auto&) { return std::make_unique<MenuBarPreview>(); }, MenuBarPreview::kWidth},
        {"remote dark", Appearance::darkPalette(),
         [](NativePreviews::Context& c) {
             return std::make_unique<RemoteView>(
                 c.demoStore(), RemoteView::Actions{.showSettings = [] {}, .resize = [] {}});
         },
         RemoteView::kWidth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NativePreviews::Context context("any", c.palette);
        auto view = c.build(context);
        const auto image = NativePreviews::capture(*view, c.palette);
        ASSERT_TRUE(image) << image.error();
        EXPECT_EQ(image->width(), 2 * c.width);
        EXPECT_EQ(image->size(), view->size() * 2) << "drawn at the size it was laid out at";
        EXPECT_EQ(image->devicePixelRatio(), 2.0);
        EXPECT_EQ(image->pixelColor(0, image->height() - 1).rgb(),
                  c.palette.color(QPalette::Window).rgb());
    }
}

TEST(NativePreviews, TheBlockedRemoteShowsTheNoticeWhereTheErrorLineIs) {
    NativePreviews::Context context("light", Appearance::lightPalette());
    AppStore& store = context.demoStore(DemoBridge::Scene::blocked);
    RemoteView view(store, {.showSettings = [] {}, .resize = [] {}});
    EXPECT_TRUE(shownTexts(view).contains(QString::fromUtf8(DemoBridge::kBlockedNotice)));
}

TEST(NativePreviews, AFailedRowStopsTheSetAfterTheRowsBeforeIt) {
    const auto plain = [](auto&) { return std::make_unique<QLabel>("Settings"); };
    const auto none = [](auto&) { return std::unique_ptr<QWidget>(); };
    const ScratchDir scratch;
    const std::filesystem::path folder = scratch / "made/here";
    const auto rendered =
        NativePreviews::render(folder, {{"menubar-", plain}, {"about-", none}, {"x-", plain}});
    ASSERT_FALSE(rendered);
    EXPECT_EQ(rendered.error(), "There is no view to draw for " +
                                    (folder / "about-light.png").string() +
                                    " (OrvelPreview error 1).");
    EXPECT_EQ(pngsIn(folder), std::vector<std::string>{"menubar-light.png"}) << "light goes first";
}

}  // namespace
}  // namespace orvel::test
