#pragma once

// Small helpers around the compound-file library, shared by the reader and the writer.

#include <gsf/gsf.h>

#include <memory>
#include <mutex>

namespace sheet::gsf {

inline void ensureInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // A damaged file ends in our own error text; the library's assertion messages about it
        // would only be noise on the terminal.
        for (const char* domain : {"libgsf", "libgsf:msole", "libgsf:utils"})
            g_log_set_handler(
                domain, GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
                [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

struct Unref
{
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};

template <typename T> using Ptr = std::unique_ptr<T, Unref>;

} // namespace sheet::gsf
