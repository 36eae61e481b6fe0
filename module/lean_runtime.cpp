// Replacements for parts of the statically linked C++ runtime that would more than double the
// DLL's size. In the 32-bit build the unwind tables keep every function of each runtime object
// that is linked at all, so what counts is which objects a reference pulls in.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>

// The default handler prints the pending exception's demangled type before it aborts: that
// brings the name demangler and the runtime's printf (about 70 KB) for a message that no setup
// program shows.
void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }

// The runtime's versions throw std::length_error and its kin, whose messages live in the
// runtime's copy-on-write string: with it come that string's whole instantiation and the other
// standard exception classes (about 50 KB). Allocation failures keep their own types; the
// checks of the containers throw a plain std::exception, which every handler that catches
// std::exception or everything treats alike.
namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw exception(); }
void __throw_logic_error(const char*) { throw exception(); }
void __throw_out_of_range(const char*) { throw exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }

}  // namespace std
