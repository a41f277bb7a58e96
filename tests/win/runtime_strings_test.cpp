// The std::string members the launcher exe instantiates itself
// (src/runtime/string_members.cpp, and the old string of the runtime's exception
// classes in src/runtime/exception_string_members.cpp), linked here ahead of the
// C++ runtime as in the exe: the runtime's exceptions built, copied, assigned
// and destroyed through them keep their messages.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

TEST(RuntimeStrings, ExceptionMessagesSurviveCopyAssignmentAndDestruction)
{
    std::vector<std::logic_error> kept;
    for (int i = 0; i < 200; ++i) {
        const std::string text = "message " + std::to_string(i);
        std::length_error error(text);
        std::logic_error copy(error); // shares the message
        kept.push_back(copy);
        kept.back() = std::logic_error(i % 2 ? text.c_str() : ""); // replaces it
    }
    for (int i = 0; i < 200; ++i)
        EXPECT_STREQ(kept[i].what(), i % 2 ? ("message " + std::to_string(i)).c_str() : "");
    kept.clear(); // every message released, the empty ones included

    std::runtime_error a("first"), b("second");
    std::swap(a, b);
    EXPECT_STREQ(a.what(), "second");
    EXPECT_STREQ(b.what(), "first");
}

TEST(RuntimeStrings, TheRuntimesOwnThrowsCarryTheirMessages)
{
    try {
        std::vector<int>().at(3);
        ADD_FAILURE() << "at() did not throw";
    } catch (const std::out_of_range& e) {
        EXPECT_NE(std::string(e.what()).find("3"), std::string::npos) << e.what();
    }
    try {
        static_cast<void>(std::wstring(L"abc").substr(7));
        ADD_FAILURE() << "substr() did not throw";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("substr"), std::string::npos) << e.what();
    }
    const std::system_error error(std::make_error_code(std::errc::invalid_argument), "starting");
    EXPECT_EQ(std::string(error.what()).rfind("starting", 0), 0u) << error.what();
    EXPECT_EQ(error.code(), std::errc::invalid_argument);
}

} // namespace
