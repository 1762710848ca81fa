// Measuring GDI object leaks where GetGuiResources counts nothing (Wine).
#pragma once

// How many more GDI objects the process can create: the handle table is
// filled with pens and released again.
int FreeGdiRoom();
