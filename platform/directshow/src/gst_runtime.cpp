#include "gst_filter.h"

#include <cstring>
#include <mutex>

namespace directshow {

namespace {

// Whether a graph may come to use a feature of this plugin: the elements every graph
// holds, the type finders, and whatever decodebin may plug in for an audio file.
bool PlayingMayLoad(GstPlugin* plugin) {
    static constexpr const char* kKlassWords[] = {"Audio", "Demux", "Parse", "Decoder"};
    static constexpr const char* kFixedPlugins[] = {"coreelements", "playback", "app",
                                                    "autodetect"};
    for (const char* name : kFixedPlugins)
        if (g_str_equal(gst_plugin_get_name(plugin), name))
            return true;
    GList* features =
        gst_registry_get_feature_list_by_plugin(gst_registry_get(), gst_plugin_get_name(plugin));
    bool wanted = false;
    for (GList* f = features; f && !wanted; f = f->next) {
        if (GST_IS_TYPE_FIND_FACTORY(f->data)) {
            wanted = true;
        } else if (GST_IS_ELEMENT_FACTORY(f->data)) {
            const char* klass = gst_element_factory_get_metadata(GST_ELEMENT_FACTORY(f->data),
                                                                 GST_ELEMENT_METADATA_KLASS);
            for (const char* word : kKlassWords)
                wanted = wanted || (klass && std::strstr(klass, word));
        }
    }
    gst_plugin_feature_list_free(features);
    return wanted;
}

// Loading a plugin takes the dynamic loader's lock. A library that unloads runs its
// destructors under that lock and ends its graphs there, waiting for their threads: a
// thread loading a plugin at that moment would never get the lock. So every plugin a
// graph may need is loaded here, once, before any graph exists.
void LoadPlayingPlugins() {
    GList* plugins = gst_registry_get_plugin_list(gst_registry_get());
    for (GList* p = plugins; p; p = p->next) {
        if (!PlayingMayLoad(GST_PLUGIN(p->data)))
            continue;
        if (GstPlugin* loaded = gst_plugin_load(GST_PLUGIN(p->data)))
            gst_object_unref(loaded);
    }
    gst_plugin_list_free(plugins);
}

} // namespace

void EnsureGstInitialized() {
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        LoadPlayingPlugins();
    });
}

std::string Utf8FromWide(LPCWSTR text) {
    std::string out;
    for (const WCHAR* p = text; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace directshow
