#pragma once
// SilentSecretService: a Secret Service of our own on the session bus that opens sessions and
// then answers nothing: every other call is held, unanswered, until the fake goes. It takes a
// bus name of its own and points libsecret at it (SECRET_SERVICE_BUS_NAME), so construct it
// before this process first asks for the service, and only on a private bus.

#include <gio/gio.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../support/Waiting.hpp"

namespace orvel::test {

class SilentSecretService {
public:
    static constexpr const char* kBusName = "quillon.orvel.test.SilentSecrets";

    SilentSecretService()
        : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
        // Before the thread starts: nothing else reads the environment then.
        ::setenv("SECRET_SERVICE_BUS_NAME", kBusName, 1);  // NOLINT(concurrency-mt-unsafe)
        thread_ = std::thread([this] { serve(); });
        ready_.pass();
    }
    ~SilentSecretService() {
        g_main_context_invoke(
            context_,
            [](gpointer self) -> gboolean {
                static_cast<SilentSecretService*>(self)->stop();
                return G_SOURCE_REMOVE;
            },
            this);
        thread_.join();
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }
    SilentSecretService(const SilentSecretService&) = delete;
    SilentSecretService& operator=(const SilentSecretService&) = delete;

    bool registered() const { return registered_; }
    // Waits until `count` calls are held.
    bool waitForHeld(int count) { return held_.waitFor(count); }

private:
    static constexpr const char* kInterface = R"(
<node>
  <interface name="org.freedesktop.Secret.Service">
    <method name="OpenSession">
      <arg direction="in" type="s"/><arg direction="in" type="v"/>
      <arg direction="out" type="v"/><arg direction="out" type="o"/>
    </method>
    <method name="ReadAlias"><arg direction="in" type="s"/><arg direction="out" type="o"/></method>
    <method name="SearchItems">
      <arg direction="in" type="a{ss}"/>
      <arg direction="out" type="ao"/><arg direction="out" type="ao"/>
    </method>
    <method name="Unlock">
      <arg direction="in" type="ao"/><arg direction="out" type="ao"/><arg direction="out" type="o"/>
    </method>
  </interface>
</node>)";

    static void call(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                     const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                     gpointer self) {
        if (std::string(method) == "OpenSession") {
            const gchar* algorithm = nullptr;
            GVariant* input = nullptr;
            g_variant_get(parameters, "(&sv)", &algorithm, &input);
            g_variant_unref(input);
            if (std::string(algorithm) != "plain") {
                g_dbus_method_invocation_return_dbus_error(
                    invocation, "org.freedesktop.DBus.Error.NotSupported", "plain only");
                return;
            }
            g_dbus_method_invocation_return_value(
                invocation, g_variant_new("(vo)", g_variant_new_string(""),
                                          "/org/freedesktop/secrets/session/silent"));
            return;
        }
        auto* service = static_cast<SilentSecretService*>(self);
        service->invocations_.push_back(invocation);
        service->held_.add();
    }

    void serve() {
        g_main_context_push_thread_default(context_);
        GError* error = nullptr;
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (address) {
            connection_ = g_dbus_connection_new_for_address_sync(
                address,
                static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                  G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &error);
            g_free(address);
        }
        if (connection_) registered_ = registerService();
        g_clear_error(&error);
        ready_.open();
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    }

    bool registerService() {
        static const GDBusInterfaceVTable vtable = {call, nullptr, nullptr, {}};
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        const guint object =
            g_dbus_connection_register_object(connection_, "/org/freedesktop/secrets",
                                              node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", kBusName, 4u /* DO_NOT_QUEUE */),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        guint32 answer = 0;
        if (reply) {
            g_variant_get(reply, "(u)", &answer);
            g_variant_unref(reply);
        }
        return object != 0 && answer == 1;  // the primary owner
    }

    void stop() {
        for (auto* invocation : invocations_) {
            g_dbus_method_invocation_return_dbus_error(
                invocation, "org.freedesktop.DBus.Error.Failed", "the test is over");
        }
        invocations_.clear();
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
            connection_ = nullptr;
        }
        g_main_loop_quit(loop_);
    }

    GMainContext* context_;
    GMainLoop* loop_;
    std::thread thread_;
    Gate ready_;
    Counter held_;
    // The fake's thread only, but registered_ (written before ready_ opens).
    GDBusConnection* connection_ = nullptr;
    std::vector<GDBusMethodInvocation*> invocations_;
    bool registered_ = false;
};

}  // namespace orvel::test
