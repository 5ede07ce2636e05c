#pragma once
// The two functions every camera module exports, as a host resolves them by
// name. Free of Qt, so a loader can name them without pulling in QObject.

class Base;

extern "C" {
typedef Base* (*CreateModuleFn)();
typedef void (*DestroyModuleFn)(Base*);
}
