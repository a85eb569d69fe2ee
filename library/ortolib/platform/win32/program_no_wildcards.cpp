// Linked into every program of the project: the mingw runtime would otherwise expand
// wildcards in the program's own arguments, even quoted ones, and an argument such as "*"
// must reach the program untouched.
extern "C" {
extern int _dowildcard;
int _dowildcard = 0;
}
