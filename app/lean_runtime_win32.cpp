// The C++ runtime is linked in statically, and its default terminate handler brings a demangler
// and printf with floating point (some 70 KiB) only to print an exception's name nobody reads.
// Defined here, on the link line before the runtime, so that one is never pulled in.
#include <cstdlib>

namespace __gnu_cxx {
// The crash reporter catches the abort and writes its report, with the stack it happened on.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
