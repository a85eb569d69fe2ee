// A Windows program that imports a function from a DLL that exists nowhere (its import library
// is made from absent_dll.def alone), so the loader cannot start it: the process ends with
// 0xC0000135 (DLL not found) before main runs, or with a dialog waiting for a click when its
// parent lets one show.
extern "C" void ortotest_absent_function();

int main() {
  ortotest_absent_function();
  return 0;
}
