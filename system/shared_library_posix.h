// A library loaded when it is first needed, not when the program starts: the
// MIDI and audio libraries, and the ones they pull in, cost every run of the
// program a millisecond or more to load, and a compile never calls them.
// POSIX only.
#pragma once

#include <dlfcn.h>

#include <type_traits>

namespace zirvon {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary() {
        if (handle_) dlclose(handle_);
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    /// Loads `soname` (librtmidi.so.6, say); false when it is not there.
    /// The library stays mapped after dlclose: its threads and handlers may
    /// outlive what we made with it, and a leak checker can still name its
    /// functions.
    bool open(const char* soname) {
        handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        return handle_ != nullptr;
    }

    /// Points `function` at the library's function `name`; false when it
    /// has none of that name.
    template <typename Function>
    bool get(Function& function, const char* name) const {
        static_assert(std::is_pointer_v<Function>);
        function = reinterpret_cast<Function>(dlsym(handle_, name));
        return function != nullptr;
    }

private:
    void* handle_ = nullptr;
};

}  // namespace zirvon
