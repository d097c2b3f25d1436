// Qt's font lookup leaves fontconfig's caches allocated at exit; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
