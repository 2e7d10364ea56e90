#include "platform/commctrl/commctrl.h"

HIMAGELIST ImageList_Create(int, int, UINT, int, int) { return nullptr; }
BOOL ImageList_Destroy(HIMAGELIST) { return FALSE; }
HIMAGELIST ImageList_LoadImageW(HINSTANCE, LPCWSTR, int, int, COLORREF, UINT, UINT) { return nullptr; }
int ImageList_Add(HIMAGELIST, HBITMAP, HBITMAP) { return -1; }
int ImageList_AddMasked(HIMAGELIST, HBITMAP, COLORREF) { return -1; }
BOOL ImageList_Remove(HIMAGELIST, int) { return FALSE; }
BOOL ImageList_Draw(HIMAGELIST, int, HDC, int, int, UINT) { return FALSE; }
int ImageList_GetImageCount(HIMAGELIST) { return 0; }
BOOL ImageList_GetIconSize(HIMAGELIST, int*, int*) { return FALSE; }
