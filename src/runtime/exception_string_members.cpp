// The members of the old (reference-counted) std::string that the C++
// runtime's exception classes use for their message, instantiated here.
//
// std::logic_error, std::runtime_error and their kin keep what() in the
// string of the C++ runtime's old ABI. The runtime's object that builds them
// calls seven of that string's members, which live in one object file with
// every other member of it (about 30 KiB with its unwind tables, kept whole
// because MinGW's linker keeps every function with an unwind entry). With
// them instantiated here, from the same library headers and with the same
// ABI (this file is compiled with _GLIBCXX_USE_CXX11_ABI=0, see
// runtime.cmake), the linker leaves that file out. The shared empty string's
// storage is defined here too, so there is one in the exe, as the old string
// needs. Nothing in the launcher uses this string type.
#include <string>

#if _GLIBCXX_USE_CXX11_ABI
#error "compile this file with _GLIBCXX_USE_CXX11_ABI=0"
#endif

using CowString = std::string;

template CowString::size_type CowString::_Rep::_S_empty_rep_storage[];
template CowString::_Rep* CowString::_Rep::_S_create(size_type, size_type,
                                                     const std::allocator<char>&);
template char* CowString::_Rep::_M_clone(const std::allocator<char>&, size_type);
template void CowString::_Rep::_M_dispose(const std::allocator<char>&);
template void CowString::_Rep::_M_destroy(const std::allocator<char>&) throw();
template char* CowString::_S_construct(size_type, char, const std::allocator<char>&);
template CowString& CowString::assign(const CowString&);
template void CowString::swap(CowString&);
