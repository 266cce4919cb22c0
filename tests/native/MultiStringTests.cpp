#include "frame/MultiString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* what;
    std::wstring data;
    bool expected;
};

TEST(MultiStringHasEntry, FindsWholeEntriesWithinTheDataOnly) {
    using namespace std::string_literals;
    const Case cases[] = {
        {"first of two", L"Terminal Server\0Enterprise\0\0"s, true},
        {"second of two", L"Enterprise\0Terminal Server\0\0"s, true},
        {"without any terminator", L"Terminal Server"s, true},
        {"with one terminator", L"Enterprise\0Terminal Server\0"s, true},
        {"cut short", L"Terminal Serv"s, false},
        {"longer entry", L"Terminal Server 2\0\0"s, false},
        {"prefix of an entry", L"Terminal\0\0"s, false},
        {"other case", L"TERMINAL SERVER\0\0"s, false},
        {"behind the empty entry that ends the list", L"A\0\0Terminal Server\0\0"s, false},
        {"empty", L""s, false},
        {"only terminators", L"\0\0\0"s, false},
    };
    for (const Case& c : cases) EXPECT_EQ(ih::MultiStringHasEntry(c.data, L"Terminal Server"), c.expected) << c.what;
}

} // namespace
