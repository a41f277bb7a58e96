// The std::string members that the C++ runtime's own objects in the exe call
// (std::system_error's message, std::random_device's token, the exception
// classes' short strings), instantiated here. The launcher's code instantiates
// what it uses itself (string_members_inline.h); without these three the
// linker would take them from the runtime's complete std::string instantiation
// and bring all of its members along.
#include <string>

template std::string::pointer std::string::_M_create(size_type&, size_type);
template void std::string::_M_assign(const std::string&);
template int std::string::compare(const char*) const;
