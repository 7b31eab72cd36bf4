#pragma once

// Small helpers around the compound-file library, shared by the reader and the writer.

#include <gsf/gsf.h>

#include <memory>
#include <mutex>

namespace sheet::gsf {

inline void ensureInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
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
