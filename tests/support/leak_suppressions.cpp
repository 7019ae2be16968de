// LeakSanitizer: allocations that libraries we link lose on their own, not ours to fix.
// fontconfig 2.14 drops a block while it parses its configuration (FcInit), once per
// process; every test that resolves a font would otherwise fail at exit in the
// sanitizer build.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
