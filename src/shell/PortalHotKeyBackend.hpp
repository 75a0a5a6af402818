#pragma once
// PortalHotKeyBackend: the global shortcut through the desktop portal's GlobalShortcuts, for
// Wayland sessions where no client may grab keys. It registers the application's id with the
// portal, opens one portal session and binds one shortcut, "toggle-remote", proposing the
// stored combination as its trigger; the desktop has the last word on the combination (it may
// ask the user), so a grab is accepted at once and bound when the portal answers.
//
//   PortalHotKeyBackend backend;   // the session bus
//   if (!backend.start(events)) auto grabbed = backend.grab(KeyboardShortcut::kDefault, 1);
//
// Owner: GlobalHotKey. Thread: the GUI thread (Qt's event loop); events arrive there from the
// portal's Activated and Deactivated signals, for the latest grab still held. Ends with stop()
// or destruction, which close the portal session.

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <optional>

#include "input/HotKeyBackend.hpp"

class QDBusMessage;

namespace orvel {

class PortalHotKeyBackend final : public QObject, public HotKeyBackend {
    Q_OBJECT
public:
    // Refusal codes of our own.
    static constexpr std::int32_t kNoSuchKey = -1;   // no trigger names this key
    static constexpr std::int32_t kNotStarted = -2;  // not started
    static constexpr const char* kShortcutId = "toggle-remote";

    explicit PortalHotKeyBackend(QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalHotKeyBackend() override;
    PortalHotKeyBackend(const PortalHotKeyBackend&) = delete;
    PortalHotKeyBackend& operator=(const PortalHotKeyBackend&) = delete;

    // Unsupported where no portal answers on the bus.
    std::optional<StartFailure> start(Events events) override;
    std::variant<Token, Refusal> grab(const KeyboardShortcut& shortcut,
                                      std::uint32_t identifier) override;
    void ungrab(Token token) override;
    void stop() override;

    // True once the portal has bound the latest grab's combination.
    bool bound() const;

    // The portal's trigger for a shortcut: "CTRL+", "ALT+", "SHIFT+", "LOGO+" as present, then
    // the key's keysym name ("CTRL+ALT+LOGO+p"); nothing for a key without one.
    static std::optional<QString> preferredTrigger(const KeyboardShortcut& shortcut);

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);
    void onDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                       const QVariantMap& options);

private:
    struct Grab {
        std::uint32_t identifier;
        QString trigger;
    };
    using Answer = std::function<void(uint response, const QVariantMap& results)>;

    // Calls a portal method that answers through a Request object, whose Response goes to
    // `answer`; `options` gains the request's handle_token.
    void request(const QString& interface, const QString& method, QVariantList arguments,
                 QVariantMap options, Answer answer);
    void watchRequest(const QString& path);
    void createSession();
    void bindLatest();
    const Grab* latest() const;
    void deliver(const QDBusObjectPath& session, const QString& id, bool pressed);
    void closeSession();
    void disconnectSignals();

    QDBusConnection bus_;
    Events events_;
    bool started_ = false;
    std::uint64_t generation_ = 0;  // bumped by stop(): answers of an older run change nothing
    std::uint64_t nextRequest_ = 0;
    std::map<QString, Answer> requests_;   // request path → its answer
    QString session_;                      // the portal session; empty until created
    std::optional<QString> boundTrigger_;  // bound, or asked for
    bool bound_ = false;
    Token nextToken_ = 0;
    std::map<Token, Grab> grabs_;
};

}  // namespace orvel
