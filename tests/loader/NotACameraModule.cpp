// Loads like any shared library but lacks `create`, so a host must turn it
// down as "not a camera module". Built with default visibility (and, on
// Windows, NotACameraModule.def), so `destory` is exported on every platform
// without a platform switch.
extern "C" void destory(void*) {}
