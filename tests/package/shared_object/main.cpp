// The program that calls the shared object of greeting.cpp, linked against it alone.
#include <cstddef>
#include <cstdio>
#include <string>

std::string greeting(const char* name, std::size_t count);

int main() {
  std::printf("%s\n", greeting("list", 5000000000u).c_str());
  return 0;
}
