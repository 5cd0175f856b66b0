// Built into every program of the sanitizer build only (ORVANTHELIX_SANITIZE):
// no shared library is ever unloaded. The leak check runs at exit, and once a
// library is unloaded (Mesa unloads its driver with the X display) whatever its
// globals held counts as leaked, in frames that have no name left, which no
// suppression in tests/lsan.supp can match. Defined in the program, this
// dlclose comes before the C library's for every library loaded.
extern "C" int dlclose(void*) { return 0; }
