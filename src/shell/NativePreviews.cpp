#include "shell/NativePreviews.hpp"

#include <QCoreApplication>
#include <QLayout>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "platform/ManualLoop.hpp"
#include "session/AppStore.hpp"
#include "session/DemoServices.hpp"
#include "session/LoginService.hpp"
#include "shell/Acknowledgements.hpp"
#include "shell/Appearance.hpp"
#include "shell/ImageFiles.hpp"
#include "shell/MenuBarPreview.hpp"
#include "shell/RemoteView.hpp"
#include "shell/SettingsView.hpp"

namespace orvel {
namespace {

constexpr int kScale = 2;

std::unique_ptr<QWidget> remoteOn(AppStore& store) {
    return std::make_unique<RemoteView>(
        store, RemoteView::Actions{.showSettings = [] {}, .resize = [] {}});
}

// A remote on a demo session that `change` has been applied to.
NativePreviews::Builder remoteAfter(void (*change)(AppStore&),
                                    DemoBridge::Scene scene = DemoBridge::Scene::playing) {
    return [change, scene](NativePreviews::Context& context) {
        AppStore& store = context.demoStore(scene);
        if (change) change(store);
        context.settle();
        return remoteOn(store);
    };
}

// The settings on a demo session, with About shown or not.
NativePreviews::Builder settingsWith(bool aboutExpanded) {
    return [aboutExpanded](NativePreviews::Context& context) -> std::unique_ptr<QWidget> {
        AppStore& store = context.demoStore();
        return std::make_unique<SettingsView>(
            store,
            SettingsView::Actions{.installNote = {},
                                  .builtOn = std::string(Acknowledgements::kBuiltOn)},
            aboutExpanded);
    };
}

}  // namespace

// One demo session: what DemoServices gives, in the order the store needs them to outlive it.
struct NativePreviews::Context::Sessions {
    // Pictures never open at login.
    class NoLogin final : public LoginService {
    public:
        bool enabled() const override { return false; }
        std::optional<std::string> setEnabled(bool) override { return std::nullopt; }
    };
    struct Session {
        std::unique_ptr<Defaults> defaults;
        std::unique_ptr<MemoryCredentialStore> credentials;
        NoLogin login;
        std::shared_ptr<AppStore> store;

        ~Session() {
            if (store) store->shutdown();
        }
    };

    ManualLoop loop;
    std::vector<std::unique_ptr<Session>> sessions;  // go before the loop
};

NativePreviews::Context::Context(QString appearance, QPalette palette)
    : appearance_(std::move(appearance)),
      palette_(std::move(palette)),
      sessions_(std::make_unique<Sessions>()) {}

NativePreviews::Context::~Context() = default;

AppStore& NativePreviews::Context::demoStore(DemoBridge::Scene scene) {
    auto session = std::make_unique<Sessions::Session>();
    // No settings file: the user's own must not change the pictures.
    auto demo = DemoServices::open(sessions_->loop, "", scene);
    session->defaults = std::move(demo.defaults);
    session->credentials = std::move(demo.credentials);
    session->store = AppStore::create({.loop = sessions_->loop,
                                       .defaults = *session->defaults,
                                       .credentials = *session->credentials,
                                       .login = session->login,
                                       .bridge = std::move(demo.bridge),
                                       .demo = true,
                                       .keychainExecutor = [](auto work) { work(); }});
    session->store->start();
    AppStore& store = *session->store;
    sessions_->sessions.push_back(std::move(session));
    settle();
    return store;
}

void NativePreviews::Context::settle() {
    sessions_->loop.runUntilIdle();
    QCoreApplication::processEvents();
    sessions_->loop.runUntilIdle();
}

std::vector<NativePreviews::Row> NativePreviews::rows() {
    return {
        {"menubar-", [](Context&) { return std::make_unique<MenuBarPreview>(); }},
        {"remote-", remoteAfter(nullptr)},
        {"navigation-", remoteAfter([](AppStore& store) { store.setNavigationExpanded(true); })},
        {"typing-", remoteAfter([](AppStore& store) { store.focusText(); })},
        {"settings-", settingsWith(false)},
        {"about-", settingsWith(true)},
        {"remote-blocked-", remoteAfter(nullptr, DemoBridge::Scene::blocked)},
        {"remote-offline-", remoteAfter([](AppStore& store) { store.disconnect(); })},
    };
}

Result<QImage> NativePreviews::capture(QWidget& view, const QPalette& palette) {
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.setPalette(palette);
    view.show();
    if (QLayout* layout = view.layout()) layout->activate();
    // The fitting size: the width it asks for, and the height that width needs.
    const QSize hint = view.sizeHint();
    const int width = std::clamp(hint.width(), view.minimumWidth(), view.maximumWidth());
    const int height = view.hasHeightForWidth() ? view.heightForWidth(width) : hint.height();
    view.resize(width, height);
    if (QLayout* layout = view.layout()) layout->activate();
    QCoreApplication::processEvents();

    QImage image;
    if (width > 0 && height > 0)
        image = QImage(QSize(width, height) * kScale, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return Failure{"A preview image of " + std::to_string(width) + " by " +
                       std::to_string(height) +
                       " points could not be made (OrvelPreview error 1)."};
    }
    image.setDevicePixelRatio(kScale);
    image.fill(palette.color(QPalette::Window));
    view.render(&image, {}, {}, QWidget::DrawChildren);
    view.hide();
    return image;
}

Result<void> NativePreviews::render(const std::filesystem::path& folder,
                                    const std::vector<Row>& rows) {
    if (auto made = ImageFiles::makeFolder(folder); !made) return made;

    const std::pair<QString, QPalette> appearances[] = {
        {QStringLiteral("light"), Appearance::lightPalette()},
        {QStringLiteral("dark"), Appearance::darkPalette()},
    };
    for (const auto& [appearance, palette] : appearances) {
        for (const Row& row : rows) {
            const auto file = folder / (row.prefix + appearance + ".png").toStdString();
            Context context(appearance, palette);
            std::unique_ptr<QWidget> view = row.build ? row.build(context) : nullptr;
            if (!view) {
                return Failure{"There is no view to draw for " + file.string() +
                               " (OrvelPreview error 1)."};
            }
            auto image = capture(*view, palette);
            view.reset();  // before its sessions
            if (!image) return Failure{image.error()};
            const auto bytes = ImageFiles::png(*image);
            if (!bytes) {
                return Failure{"The preview " + file.string() +
                               " could not be encoded as PNG (OrvelPreview error 2)."};
            }
            if (auto written = ImageFiles::write(file, *bytes); !written) return written;
        }
    }
    return {};
}

}  // namespace orvel
