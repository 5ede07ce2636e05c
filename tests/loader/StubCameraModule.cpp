// The smallest camera module for the loader's tests: `create` and `destory`
// exported (default visibility; on Windows StubCameraModule.def lists them),
// plus a count of live objects that shows whose static state a loaded copy
// has.
class Base;

namespace {
int liveObjects = 0;
}

extern "C" Base* create()
{
    ++liveObjects;
    return reinterpret_cast<Base*>(&liveObjects);
}

extern "C" void destory(Base*)
{
    --liveObjects;
}

extern "C" int objectsAlive()
{
    return liveObjects;
}
