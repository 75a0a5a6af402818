// Our drawn symbols: every one the remote uses paints something of its own, in the colour asked.

#include "shell/Symbols.hpp"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include "session/AppState.hpp"
#include "shell/RemoteModel.hpp"

namespace orvel {
namespace {

// Every symbol the remote can show, whatever the state.
std::set<std::string> remoteSymbols() {
    std::set<std::string> names{"power", "chevron.down", "exclamationmark.triangle.fill",
                                "keyboard", "checkmark"};
    for (bool playing : {false, true}) {
        for (std::optional<double> volume : {std::optional<double>{}, std::optional<double>{0}}) {
            AppState state;
            state.playing = playing;
            state.volume = volume;
            state.connected = true;
            state.title = "Show";
            const auto model = RemoteModel::make(state, "TV", [](RemoteAction) { return true; });
            for (const auto& button : model.transport) names.insert(button.symbol);
            for (const auto& button : model.pad) names.insert(button.symbol);
            names.insert({model.mute.symbol, model.volumeDown.symbol, model.volumeUp.symbol,
                          model.navigation.symbol, model.navigation.trailing, model.text.symbol,
                          model.apps.symbol, model.settings.symbol, model.status.symbol});
        }
    }
    names.erase("");
    return names;
}

int inkedPixels(const QImage& image, QColor* seen = nullptr) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 250) continue;
            ++count;
            if (seen) *seen = pixel;
        }
    }
    return count;
}

TEST(Symbols, EveryRemoteSymbolIsDrawnDistinctlyInItsColour) {
    const QColor colour(20, 120, 220);
    std::set<QByteArray> shapes;
    for (const auto& name : remoteSymbols()) {
        const QImage image = Symbols::pixmap(name, colour, 16).toImage();
        EXPECT_EQ(image.size(), QSize(32, 32)) << name;
        QColor seen;
        const int inked = inkedPixels(image, &seen);
        EXPECT_GT(inked, 12) << name;
        EXPECT_LT(inked, 32 * 32 * 3 / 4) << name << " fills its square";
        EXPECT_EQ(seen.rgb(), colour.rgb()) << name;
        const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                              static_cast<qsizetype>(image.sizeInBytes()));
        shapes.insert(bits);
    }
    // Only chevron.left and chevron.backward share a shape.
    EXPECT_EQ(shapes.size(), remoteSymbols().size() - 1);
}

TEST(Symbols, UnknownNamesPaintNothingAndHaveNoThemeName) {
    const QImage image = Symbols::pixmap("tv.and.mediabox", Qt::black, 16).toImage();
    EXPECT_EQ(inkedPixels(image), 0);
    EXPECT_STREQ(Symbols::themeName("tv.and.mediabox"), "");
    EXPECT_STREQ(Symbols::themeName("house"), "go-home");
}

TEST(Symbols, IconsFadeWhenDisabled) {
    if (QIcon::hasThemeIcon("list-add")) GTEST_SKIP() << "the desktop's theme draws it";
    const QIcon icon = Symbols::icon("plus", Qt::black, 16);
    const QImage normal = icon.pixmap(QSize(16, 16), 2, QIcon::Normal).toImage();
    const QImage disabled = icon.pixmap(QSize(16, 16), 2, QIcon::Disabled).toImage();
    EXPECT_GT(inkedPixels(normal), 0);
    EXPECT_EQ(inkedPixels(disabled), 0);  // drawn at 0.4 opacity
    EXPECT_EQ(normal.size(), QSize(32, 32));
}

}  // namespace
}  // namespace orvel
