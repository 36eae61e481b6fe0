// The file the user parameter tests stamp: never run, only rewritten and read back.
int main() { return 0; }
