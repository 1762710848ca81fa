// The installation's operations on the Windows shell and file system.
#pragma once

// Creates every directory along `path` (backslashes or slashes). False only
// when the path is too long to be handled.
bool CreateDirectoryPath(const char* path);
