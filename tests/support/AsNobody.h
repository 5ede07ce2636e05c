#pragma once
// Root passes every permission check, so a test of what happens when one
// fails needs another user: as root, these run it as the unprivileged user
// "nobody" in a child process (stopped after a few seconds if it hangs).
// Where there are no users to switch to (Windows), nothing runs as nobody.

#include <functional>
#include <string>

// Runs `check` as "nobody" in a child process and returns what it reported
// as failed: empty when all held. Call as root.
std::string asNobody(const std::function<std::string()>& check);

// For a test of a permission check, called before the test makes anything.
// As root: runs the current test again as "nobody" (this program, filtered to
// the one test), passes on its failures or its skip, and returns true: the
// caller then ends the test. As anyone else, and on Windows, returns false
// and the test goes on by itself.
bool ranAgainAsNobody();
