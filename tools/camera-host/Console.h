#pragma once
// The one console question the host asks (Console_unix.cpp / Console_win.cpp).

// True when standard error is an interactive terminal, not a file or pipe.
bool stderrIsTerminal();
