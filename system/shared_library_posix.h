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

/// A table of a library's functions, from a list of their names written as
/// `#define FUNCTIONS(X) X(jack_client_open) X(jack_activate) ...`: a pointer
/// named as each function, and load_functions(soname), which loads the
/// library and finds every one (false when any is missing). Write it inside a
/// struct: ZIRVON_LIBRARY_FUNCTIONS(FUNCTIONS).
#define ZIRVON_LIBRARY_FUNCTIONS(LIST)                           \
    bool load_functions(const char* soname) {                    \
        return library_.open(soname) LIST(ZIRVON_LIBRARY_FIND_); \
    }                                                            \
    LIST(ZIRVON_LIBRARY_POINTER_)                                \
    ::zirvon::SharedLibrary library_;
#define ZIRVON_LIBRARY_FIND_(name) &&library_.get(name, #name)
#define ZIRVON_LIBRARY_POINTER_(name) decltype(&::name) name = nullptr;
