// Smaller stand-ins for parts of the statically linked C++ runtime that would more than double
// the DLL's size (docs/runtime.md). The link redirects the runtime's throw helpers and terminate
// handler here (--wrap, in module/CMakeLists.txt) instead of replacing their definitions, so a
// later use of another part of the runtime still links. module/check-lean-runtime.sh fails the
// build when the DLL links one of the runtime objects this keeps out.
#include <cstdlib>
#include <exception>
#include <new>

extern "C" {

// The default terminate handler prints the pending exception's demangled type before it aborts:
// that brings the name demangler and the runtime's printf (about 70 KB) for a message that no
// setup program shows.
[[noreturn]] void __wrap__ZN9__gnu_cxx27__verbose_terminate_handlerEv() { std::abort(); }

// The runtime's throw helpers build std::length_error and its kin, whose messages live in the
// runtime's copy-on-write string: with it come that string's whole instantiation and the other
// standard exception classes (about 50 KB). Allocation failures keep their own types; the
// containers' checks throw a plain std::exception, which every handler that catches
// std::exception or everything treats alike.
[[noreturn]] void __wrap__ZSt17__throw_bad_allocv() { throw std::bad_alloc(); }
[[noreturn]] void __wrap__ZSt28__throw_bad_array_new_lengthv() {
    throw std::bad_array_new_length();
}
[[noreturn]] void __wrap__ZSt20__throw_length_errorPKc(const char*) { throw std::exception(); }
[[noreturn]] void __wrap__ZSt19__throw_logic_errorPKc(const char*) { throw std::exception(); }
[[noreturn]] void __wrap__ZSt20__throw_out_of_rangePKc(const char*) { throw std::exception(); }
[[noreturn]] void __wrap__ZSt24__throw_out_of_range_fmtPKcz(const char*, ...) {
    throw std::exception();
}

}  // extern "C"
