#include "tests/support/gdi_room.h"

#include <windows.h>

#include <vector>

int FreeGdiRoom() {
  std::vector<HPEN> pens;
  while (HPEN pen = CreatePen(PS_SOLID, 1, 0)) pens.push_back(pen);
  for (HPEN pen : pens) DeleteObject(pen);
  return (int)pens.size();
}
