// The C++ runtime is linked in statically, and some of its pieces bring far more than they do.
// Defined here, on the link line before the runtime, so that the runtime's own are never pulled in.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace __gnu_cxx {
// The default one brings a demangler and printf with floating point (some 70 KiB) only to
// print an exception's name nobody reads. The crash reporter catches the abort and writes its
// report, with the stack it happened on.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {
// What the runtime's checks throw (a string index out of range, a length over the maximum).
// The runtime's own versions are std::logic_error and its kin, whose message is a copy-on-write
// std::string: with them come that whole second string library and more (some 90 KiB). The
// program catches these only as "anything", so a fixed message is all they need. (A handler for
// std::out_of_range or its kin would not see them: catch std::exception or everything.)
class RuntimeCheckFailed final : public std::exception {
 public:
  explicit RuntimeCheckFailed(const char* what) : what_(what ? what : "runtime check failed") {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;
};
}  // namespace

namespace std {
void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_domain_error(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_invalid_argument(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_length_error(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_out_of_range(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw RuntimeCheckFailed(format); }
void __throw_runtime_error(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_range_error(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_overflow_error(const char* what) { throw RuntimeCheckFailed(what); }
void __throw_underflow_error(const char* what) { throw RuntimeCheckFailed(what); }
}  // namespace std
