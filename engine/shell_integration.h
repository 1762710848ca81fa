// The installation's operations on the Windows shell, file system and
// registry. Paths are 8-bit strings in the system code page.
#pragma once

// Shortcut folders. CreateShortcut: 1 the user's Programs folder, 2 (and any
// other value) the user's desktop. DeleteShortcut: 1 the user's Programs
// folder, 2 the all-users Programs folder, any other value the user's desktop.
enum ShortcutFolder {
  kShortcutDesktop = 0,
  kShortcutPrograms = 1,
  kShortcutSecond = 2,  // the desktop when creating, all users' Programs when deleting
};

// The root of the system drive ("C:\") into `buffer`, cleared behind it. A
// `size` below 4 is only raised to 4.
void GetSystemDriveRoot(char* buffer, int* size);

// Creates every directory along `path` (backslashes or slashes). False only
// when the path is too long to be handled.
bool CreateDirectoryPath(const char* path);

// Creates the link `linkName`.lnk to `target` in `folder`, or with `asFolder`
// the folder `linkName` there. True when the link or folder was made.
bool CreateShortcut(const char* target, const char* linkName, int folder, bool asFolder);

// Deletes the link `linkName`.lnk in `folder`, or with `asFolder` the folder
// `linkName` with everything in it.
void DeleteShortcut(const char* linkName, int folder, bool asFolder);

// Registers the game in the system's list of installed programs under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<keyName>.
// `uninstallFile` may be null. Nothing is written for an empty key name.
void RegisterUninstall(const char* keyName, const char* displayName, const char* uninstaller,
                       const char* uninstallFile, const char* publisher, const char* contact);

// Deletes `path` with everything below it. Links and junctions inside are
// removed themselves, never followed. Read-only files stay.
void DeleteDirectoryTree(const char* path);
