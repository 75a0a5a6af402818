#include "input/GnomeShortcuts.hpp"

#include <gio/gio.h>

#include <memory>
#include <string>

#include "input/GtkAccelerator.hpp"

namespace orvel::GnomeShortcuts {

namespace {

struct Unref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
    void operator()(GSettings* settings) const { g_object_unref(settings); }
    void operator()(GVariant* value) const { g_variant_unref(value); }
    void operator()(gchar** strings) const { g_strfreev(strings); }
};

template <typename T>
using Owned = std::unique_ptr<T, Unref>;

void addAccelerator(const gchar* text, std::vector<KeyboardShortcut>& shortcuts) {
    if (auto shortcut = GtkAccelerator::parse(text)) shortcuts.push_back(*shortcut);
}

void readSchema(GSettingsSchemaSource* source, const std::string& id,
                std::vector<KeyboardShortcut>& shortcuts) {
    Owned<GSettingsSchema> schema(g_settings_schema_source_lookup(source, id.c_str(), TRUE));
    // A relocatable schema has no settings of its own; opening it without a path aborts.
    if (!schema || !g_settings_schema_get_path(schema.get())) return;
    Owned<GSettings> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    Owned<gchar*> keys(g_settings_schema_list_keys(schema.get()));
    for (gchar** key = keys.get(); key && *key; ++key) {
        Owned<GVariant> value(g_settings_get_value(settings.get(), *key));
        if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) {
            addAccelerator(g_variant_get_string(value.get(), nullptr), shortcuts);
        } else if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY)) {
            gsize count = 0;
            // The strings belong to the value; only the array is freed.
            std::unique_ptr<const gchar*, decltype(&g_free)> strings(
                g_variant_get_strv(value.get(), &count), &g_free);
            for (gsize i = 0; i < count; ++i) addAccelerator(strings.get()[i], shortcuts);
        }
    }
}

}  // namespace

std::vector<KeyboardShortcut> read() {
    std::vector<KeyboardShortcut> shortcuts;
    // Nothing when no schema at all is installed; not ours to free.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source) return shortcuts;
    for (auto id : kSchemas) readSchema(source, std::string(id), shortcuts);
    return shortcuts;
}

}  // namespace orvel::GnomeShortcuts
