// A shared module that is no plug-in: it exports a function, but no PlugInMain.
extern "C" __attribute__((visibility("default"))) int NotAPlugInEntry() {
    return 0;
}
