#pragma once
// Whether the process is ending with the module's other threads already
// gone (ProcessEnd_unix.cpp / ProcessEnd_win.cpp). Windows stops every other
// thread before it tears a DLL's statics down at the process's end; Linux
// leaves them running until the very end.
bool otherThreadsEnded();
