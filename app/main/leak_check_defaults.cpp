// Built into the game only with the address sanitizer. The leak checker reads these suppressions
// at exit: libdbus keeps its global state until the process ends unless the program itself calls
// dbus_shutdown, which SDL leaves to the program and we never link. That memory is not ours to
// free, and without this every sanitized run under a desktop ends with a leak report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
