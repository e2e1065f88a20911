// Linked into every program that runs the EMF converter: it ends its font lookups with
// FcFini(), which frees fontconfig's configuration and caches under Qt, who goes on using
// them (an assertion in FcCacheFini ends the process). Here fontconfig is set up once and
// kept for the life of the process.

extern "C" void FcFini(void) {}
