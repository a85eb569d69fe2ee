// Placeholder entry until the wrapper is assembled: ends with -1, the status of any failure.
int main() { return -1; }
