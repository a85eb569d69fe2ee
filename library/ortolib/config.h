// What every public header of the library needs first: the C++20 language, checked here once,
// and the compiler annotations the headers use. Each header includes it, itself or through
// another of the library's headers, before any code of its own.
#pragma once

#if __cplusplus < 202002L
// A missing include is fatal: the compiler stops at this one message instead of going on to
// report every C++20 construct of the headers after it. The name is the message.
#include <ortolib needs C++20 - compile with -std=c++20 or later>
#endif

// Marks a class that owns the memory its views and pointers point into (clang's lifetime
// annotation), so that -Wdangling-gsl warns about a view of a temporary one, as it does for
// std::string. Empty for compilers without it.
#if __has_cpp_attribute(gsl::Owner)
#define ORTO_OWNER(element) [[gsl::Owner(element)]]
#else
#define ORTO_OWNER(element)
#endif
