// What std::terminate does in the launcher: abort, as the C++ runtime's own
// handler does after it has written the thrown type's demangled name to stderr.
// The launcher is a GUI program without a console, so that line reaches no one,
// while the demangler behind it (and the printf it calls) was the largest
// piece of the runtime in the exe. The library uses its own copy of this
// handler only when the program defines none, so this definition keeps the
// demangler out of the link.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx
