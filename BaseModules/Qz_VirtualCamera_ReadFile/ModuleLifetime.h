#pragma once
// How the module's workers and the module's own end meet, per system
// (ModuleLifetime_unix.cpp / ModuleLifetime_win.cpp). A host may unload the
// module, or end, without handing its objects to destory while their workers
// run; no worker may then be inside the module's code or the decoder when
// those go.
//
// Linux: the module's end stops and joins the workers (see MyThread.cpp).
// Windows: a thread cannot be joined while the module is being unloaded (the
// loader holds its lock, which an ending thread needs), so each running
// worker holds the module loaded instead: unloaded without destory, the
// module stays, its workers idle. At a Windows process's end the other
// threads are gone before the module's statics are torn down.
//
// fork (Linux): the child has only the thread that forked, none of the
// workers; `child` tells the module so (see MyThread.cpp). Windows has no fork.

// A worker has started: keep the module loaded until releaseModule (Windows).
void holdModule();
// That worker has ended.
void releaseModule();
// Whether the process is ending with the module's other threads already gone.
bool otherThreadsEnded();
// Has `prepare` called in the thread that forks before the fork, `parent`
// after it in the parent and `child` in the child, for as long as the module
// is loaded. Windows: nothing.
void watchForks(void (*prepare)(), void (*parent)(), void (*child)());
