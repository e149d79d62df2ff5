// Temporary files that a writer fills beside a file and renames over it.
// Each is named "<prefix>.tmp.<pid>.<six letters or digits>", so that one
// left by a writer that was killed can be told from one still being written.
// Any thread.
#pragma once

#include <sys/types.h>

#include <string>

// Creates a new temporary for prefix (a path: the folder it lies in and the
// start of its name), owner-only within the umask; the descriptor, or -1
// when it cannot. path receives the temporary's name.
int CreateTemporary(const std::string& prefix, std::string& path);

// Removes the temporaries of prefix whose writer no longer runs. One whose
// writer's process is alive (or whose liveness cannot be told) stays, and so
// does every other name.
void RemoveStaleTemporaries(const std::string& prefix);

// The process's file-mode creation mask, read without setting it: umask()
// would set it for every thread while another may be creating a file.
// 077 when it cannot be read.
mode_t CurrentUmask();
