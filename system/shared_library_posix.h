// A library loaded when it is first needed, not when the program starts: the
// MIDI and audio libraries, and the ones they pull in, cost every run of the
// program a millisecond or more to load, and a compile never calls them.
// POSIX only.
#pragma once

#include <dlfcn.h>

#include <string>
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

    /// Loads `soname` (librtmidi.so.6, say); false when it cannot.
    /// The library stays mapped after dlclose: its threads and handlers may
    /// outlive what we made with it, and a leak checker can still name its
    /// functions.
    bool open(const char* soname) {
        soname_ = soname;
        handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle_) return true;
        // The library itself is not there, or it is and something it needs
        // is not: say which.
        const std::string why = dlerror();
        failure_ = why.starts_with(soname_ + ": cannot open shared object file")
                       ? soname_ + " is missing"
                       : soname_ + " cannot be loaded: " + why;
        return false;
    }

    /// Points `function` at the library's function `name`; false when it
    /// has none of that name.
    template <typename Function>
    bool get(Function& function, const char* name) {
        static_assert(std::is_pointer_v<Function>);
        function = reinterpret_cast<Function>(dlsym(handle_, name));
        if (!function) failure_ = soname_ + " has no function " + name;
        return function != nullptr;
    }

    /// Why open() or get() failed, for messages: "librtmidi.so.6 is missing".
    const std::string& failure() const { return failure_; }

private:
    void* handle_ = nullptr;
    std::string soname_;
    std::string failure_;
};

}  // namespace zirvon

/// A table of a library's functions, from a list of their names written as
/// `#define FUNCTIONS(X) X(jack_client_open) X(jack_activate) ...`: a pointer
/// named as each function; load_functions(soname), which loads the library
/// and finds every one (false when it cannot), and load_failure(), which
/// says why not. Write it inside a struct: ZIRVON_LIBRARY_FUNCTIONS(FUNCTIONS).
#define ZIRVON_LIBRARY_FUNCTIONS(LIST)                           \
    bool load_functions(const char* soname) {                    \
        return library_.open(soname) LIST(ZIRVON_LIBRARY_FIND_); \
    }                                                            \
    const std::string& load_failure() const {                    \
        return library_.failure();                               \
    }                                                            \
    LIST(ZIRVON_LIBRARY_POINTER_)                                \
    ::zirvon::SharedLibrary library_;
#define ZIRVON_LIBRARY_FIND_(name) &&library_.get(name, #name)
#define ZIRVON_LIBRARY_POINTER_(name) decltype(&::name) name = nullptr;
