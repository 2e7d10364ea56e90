// Module resources: registration, strings, accelerators, menus and icons.

#include "platform/core/resource.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <unordered_map>

namespace res {
namespace {

struct Menu {
  struct Item {
    std::u16string text;
    UINT id = 0;
    UINT flags = 0;
    HMENU sub = nullptr;  // owned: destroyed with this menu
  };
  std::vector<Item> items;
};

struct ResourceState {
  std::map<HINSTANCE, const ModuleResources*> modules;
  std::unordered_map<ULONG_PTR, std::unique_ptr<Menu>> menus;
  std::unordered_map<ULONG_PTR, const AcceleratorTable*> accelerators;
  std::unordered_map<ULONG_PTR, const Picture*> icons;
  ULONG_PTR nextHandle = 0x40000;
};

ResourceState& state() {
  static ResourceState s;
  return s;
}

template <class Handle>
Handle newHandle() {
  ULONG_PTR v = state().nextHandle;
  state().nextHandle += 4;
  return reinterpret_cast<Handle>(v);
}

const ModuleResources* moduleOf(HINSTANCE module) {
  auto& modules = state().modules;
  auto it = modules.find(module);
  if (it == modules.end()) it = modules.find(nullptr);
  return it == modules.end() ? nullptr : it->second;
}

bool idOf(LPCWSTR name, UINT& id) {
  if (!name || !IS_INTRESOURCE(name)) return false;
  id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
  return true;
}

template <class T>
const T* byId(const std::vector<T>& list, UINT id) {
  auto it = std::find_if(list.begin(), list.end(), [&](const T& e) { return e.id == id; });
  return it == list.end() ? nullptr : &*it;
}

template <class T, class Member>
const T* lookup(HINSTANCE module, LPCWSTR name, Member member) {
  UINT id;
  const ModuleResources* m = moduleOf(module);
  if (!m || !idOf(name, id)) return nullptr;
  return byId(m->*member, id);
}

Menu* menuOf(HMENU menu) {
  auto it = state().menus.find(reinterpret_cast<ULONG_PTR>(menu));
  return it == state().menus.end() ? nullptr : it->second.get();
}

HMENU newMenu() {
  HMENU h = newHandle<HMENU>();
  state().menus.emplace(reinterpret_cast<ULONG_PTR>(h), std::make_unique<Menu>());
  return h;
}

HMENU buildMenu(const std::vector<MenuItem>& items) {
  HMENU h = newMenu();
  Menu* m = menuOf(h);
  for (const MenuItem& i : items) {
    Menu::Item item{i.text, i.id, i.flags, nullptr};
    if (i.flags & MF_POPUP) item.sub = buildMenu(i.items);
    m->items.push_back(std::move(item));
  }
  return h;
}

// An item by command id (searched through submenus) or by position.
Menu::Item* itemOf(HMENU menu, UINT item, UINT flags) {
  Menu* m = menuOf(menu);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
  for (Menu::Item& i : m->items) {
    if (i.sub) {
      if (Menu::Item* found = itemOf(i.sub, item, flags)) return found;
    } else if (!(i.flags & MF_SEPARATOR) && i.id == item) {
      return &i;
    }
  }
  return nullptr;
}

int copyText(const std::u16string& text, LPWSTR buffer, int bufferMax) {
  if (!buffer || bufferMax <= 0) return 0;
  int n = std::min<int>(static_cast<int>(text.size()), bufferMax - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

}  // namespace

void registerModule(HINSTANCE module, const ModuleResources* resources) {
  if (resources)
    state().modules[module] = resources;
  else
    state().modules.erase(module);
}

const std::u16string* findString(HINSTANCE module, UINT id) {
  const ModuleResources* m = moduleOf(module);
  const StringEntry* e = m ? byId(m->strings, id) : nullptr;
  return e ? &e->text : nullptr;
}

const DialogTemplate* findDialog(HINSTANCE module, LPCWSTR name) {
  return lookup<DialogTemplate>(module, name, &ModuleResources::dialogs);
}

const MenuBarResource* findMenuBar(HINSTANCE module, UINT id) {
  const ModuleResources* m = moduleOf(module);
  return m ? byId(m->menuBars, id) : nullptr;
}

const Picture* findBitmap(HINSTANCE module, LPCWSTR name) {
  return lookup<Picture>(module, name, &ModuleResources::bitmaps);
}

const Picture* iconPicture(HICON icon) {
  auto it = state().icons.find(reinterpret_cast<ULONG_PTR>(icon));
  return it == state().icons.end() ? nullptr : it->second;
}

HICON iconFromPicture(const Picture* picture) {
  if (!picture) return nullptr;
  for (const auto& [handle, p] : state().icons)
    if (p == picture) return reinterpret_cast<HICON>(handle);
  HICON h = newHandle<HICON>();
  state().icons.emplace(reinterpret_cast<ULONG_PTR>(h), picture);
  return h;
}

std::vector<MenuEntry> menuEntries(HMENU menu) {
  std::vector<MenuEntry> out;
  if (Menu* m = menuOf(menu))
    for (const Menu::Item& i : m->items) out.push_back(MenuEntry{i.text, i.id, i.flags, i.sub});
  return out;
}

}  // namespace res

using namespace res;

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  const std::u16string* text = findString(instance, id);
  if (!buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (bufferMax == 0) {
    // The device's read-only form: the buffer receives a pointer to the text.
    *reinterpret_cast<LPCWSTR*>(buffer) = text ? text->c_str() : nullptr;
    return text ? static_cast<int>(text->size()) : 0;
  }
  if (!text) {
    if (bufferMax > 0) buffer[0] = 0;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  return copyText(*text, buffer, bufferMax);
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
  const AcceleratorTable* t = lookup<AcceleratorTable>(instance, name, &ModuleResources::accelerators);
  if (!t) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  for (const auto& [handle, table] : state().accelerators)
    if (table == t) return reinterpret_cast<HACCEL>(handle);
  HACCEL h = newHandle<HACCEL>();
  state().accelerators.emplace(reinterpret_cast<ULONG_PTR>(h), t);
  return h;
}

BOOL DestroyAcceleratorTable(HACCEL) { return TRUE; }  // tables live as long as their module

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
  auto it = state().accelerators.find(reinterpret_cast<ULONG_PTR>(table));
  if (it == state().accelerators.end() || !msg || !hwnd) return 0;
  bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  bool character = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!keyDown && !character) return 0;
  auto down = [](int vk) { return (GetKeyState(vk) & 0x8000) != 0; };
  BYTE held = (down(VK_SHIFT) ? FSHIFT : 0) | (down(VK_CONTROL) ? FCONTROL : 0) | (down(VK_MENU) ? FALT : 0);
  for (const ACCEL& a : it->second->entries) {
    bool virtualKey = a.fVirt & FVIRTKEY;
    if (virtualKey != keyDown || a.key != msg->wParam) continue;
    // Virtual-key entries name their modifiers exactly; character entries only Alt.
    BYTE wanted = a.fVirt & (FSHIFT | FCONTROL | FALT);
    BYTE relevant = virtualKey ? held : (held & FALT);
    if (wanted != relevant) continue;
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
    return 1;
  }
  return 0;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  const MenuResource* m = lookup<MenuResource>(instance, name, &ModuleResources::menus);
  if (!m) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return buildMenu(m->items);
}

HMENU CreateMenu() { return newMenu(); }
HMENU CreatePopupMenu() { return newMenu(); }

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, LPCWSTR text) {
  Menu* m = menuOf(menu);
  if (!m || ((flags & MF_POPUP) && !menuOf(reinterpret_cast<HMENU>(idOrSubMenu)))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Menu::Item item{text && !(flags & MF_SEPARATOR) ? std::u16string(text) : std::u16string(), 0, flags, nullptr};
  if (flags & MF_POPUP)
    item.sub = reinterpret_cast<HMENU>(idOrSubMenu);
  else
    item.id = static_cast<UINT>(idOrSubMenu);
  m->items.push_back(std::move(item));
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  auto& menus = state().menus;
  auto it = menus.find(reinterpret_cast<ULONG_PTR>(menu));
  if (it == menus.end()) return FALSE;
  std::unique_ptr<Menu> owned = std::move(it->second);
  menus.erase(it);
  for (const Menu::Item& i : owned->items)
    if (i.sub) DestroyMenu(i.sub);
  return TRUE;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Menu* m = menuOf(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return nullptr;
  return m->items[static_cast<size_t>(position)].sub;
}

int GetMenuItemCount(HMENU menu) {
  Menu* m = menuOf(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Menu::Item* i = position < 0 ? nullptr : itemOf(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return i && !i->sub ? i->id : static_cast<UINT>(-1);
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int bufferMax, UINT flags) {
  Menu::Item* i = itemOf(menu, item, flags);
  if (!i) return 0;
  if (!buffer || bufferMax <= 0) return static_cast<int>(i->text.size());
  return copyText(i->text, buffer, bufferMax);
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  Menu::Item* i = itemOf(menu, item, enable);
  if (!i) return static_cast<UINT>(-1);
  UINT old = i->flags & (MF_GRAYED | MF_DISABLED);
  i->flags = (i->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return old;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  Menu::Item* i = itemOf(menu, item, check);
  if (!i) return static_cast<DWORD>(-1);
  DWORD old = i->flags & MF_CHECKED;
  i->flags = (i->flags & ~MF_CHECKED) | (check & MF_CHECKED);
  return old;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  Menu::Item* i = itemOf(menu, item, flags);
  if (!i) return static_cast<UINT>(-1);
  if (i->sub) return (i->flags & 0xFF) | (static_cast<UINT>(GetMenuItemCount(i->sub)) << 8);
  return i->flags;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  const Picture* p = lookup<Picture>(instance, name, &ModuleResources::icons);
  if (!p) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return iconFromPicture(p);
}

BOOL DestroyIcon(HICON icon) { return iconPicture(icon) ? TRUE : FALSE; }  // shared: they stay

namespace res {

Picture pictureFromArt(UINT id, const std::vector<const char*>& rows, const std::vector<PaletteEntry>& palette) {
  Picture p{id, 0, static_cast<int>(rows.size()), {}};
  for (const char* row : rows) p.width = std::max<int>(p.width, static_cast<int>(std::char_traits<char>::length(row)));
  p.pixels.assign(static_cast<size_t>(p.width) * p.height, 0);
  // Every key's colour at once (the last entry of a key wins; keys not in
  // the palette are 0): a start draws a few thousand pixels of art.
  std::array<std::uint32_t, 256> colourOf{};
  for (const PaletteEntry& e : palette) colourOf[static_cast<unsigned char>(e.key)] = e.argb;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; rows[static_cast<size_t>(y)][x]; ++x)
      p.pixels[static_cast<size_t>(y) * p.width + x] =
          colourOf[static_cast<unsigned char>(rows[static_cast<size_t>(y)][x])];
  return p;
}

}  // namespace res
