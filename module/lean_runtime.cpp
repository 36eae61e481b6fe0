// Smaller stand-ins for parts of the statically linked C++ runtime that would more than double
// the DLL's size (docs/runtime.md). The link redirects the runtime's throw helpers and terminate
// handler here (--wrap, in module/CMakeLists.txt) instead of replacing their definitions, and the
// string members below are the runtime's own code instantiated here: a later use of another part
// of the runtime still links. module/check-lean-runtime.sh fails the build, naming this file,
// when the DLL links a runtime object that this file keeps out.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

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

// The runtime's std::string instantiation is one object (33 KB), and the linker cannot drop the
// members the DLL never calls: the unwind tables, which it must keep whole, refer to every one.
// The members the DLL calls, and the ones they call, are instantiated here instead; the list
// changes only when the DLL's use of std::string does, and the check above says so.
#if defined(__GLIBCXX__)
using String = std::string;
using Size = String::size_type;

template String::basic_string(const String&);
template String::basic_string(const String&, Size, Size);
template String::basic_string(String&&);
template String& String::append(const char*);
template String& String::append(const char*, Size);
template String& String::append(const String&);
template String& String::append(Size, char);
template String& String::insert(Size, const String&);
template String& String::replace(Size, Size, const char*, Size);
template void String::resize(Size);
template void String::resize(Size, char);
template void String::pop_back();
template void String::push_back(char);
template String String::substr(Size, Size) const;
template int String::compare(Size, Size, const String&) const;

template String::pointer String::_M_create(Size&, Size);
template void String::_M_dispose();
template void String::_M_construct(Size, char);
template void String::_M_assign(const String&);
template String& String::_M_append(const char*, Size);
template void String::_M_mutate(Size, Size, const char*, Size);
template String& String::_M_replace(Size, Size, const char*, Size);
template String& String::_M_replace_aux(Size, Size, Size, char);
template void String::_M_erase(Size, Size);
template bool String::_M_disjunct(const char*) const;
template void String::_S_copy(char*, const char*, Size);
template void String::_S_move(char*, const char*, Size);
template void String::_S_assign(char*, Size, char);
template int String::_S_compare(Size, Size) noexcept;

// Two plain members that an explicit instantiation cannot name apart from the member template
// of the same name; defined under their symbols, as the runtime defines them.
#define INSTDLL_QUOTE(text) #text
#define INSTDLL_SYMBOL(prefix, name) INSTDLL_QUOTE(prefix) name
void CopyStringChars(char* to, const char* from, const char* end) noexcept __asm__(INSTDLL_SYMBOL(
    __USER_LABEL_PREFIX__,
    "_ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE13_S_copy_charsEPcPKcS7_"));
void CopyStringChars(char* to, const char* from, const char* end) noexcept {
    if (from != end) std::memcpy(to, from, static_cast<std::size_t>(end - from));
}
void CopyMutableStringChars(char* to, char* from, char* end) noexcept __asm__(INSTDLL_SYMBOL(
    __USER_LABEL_PREFIX__,
    "_ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE13_S_copy_charsEPcS5_S5_"));
void CopyMutableStringChars(char* to, char* from, char* end) noexcept {
    CopyStringChars(to, from, end);
}
#endif
