// A module that carries a version resource and nothing else of note: the tests read the
// resource back from its file. Built with hidden symbols, as the plug-in module is.

extern "C" __attribute__((visibility("default"))) int versionTestModuleAnswer() {
    return 42;
}
