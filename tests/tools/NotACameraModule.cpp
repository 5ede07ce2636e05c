// Loads like any shared library but lacks `create`, so a host must turn it
// down as "not a camera module".
extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
void destory(void*) {}
}
