#include "host/Menus.h"

#include "host/HostState.h"

#include <algorithm>

namespace tesser::host {

Menu* MenuBar::Find(const std::string& menuName) {
    for (auto& menu : menus) {
        if (menu.name == menuName) {
            return &menu;
        }
    }
    return nullptr;
}

MenuItem* MenuBar::FindItem(const std::string& itemName) {
    for (auto& menu : menus) {
        for (auto* item : menu.items) {
            if (item->name == itemName) {
                return item;
            }
        }
    }
    return nullptr;
}

namespace {

// The record a menu or item handle names, when it is one of the bar's.
template <typename Rec, typename Handle>
Rec* RecordOf(std::deque<Rec>& records, Handle handle, const char* refusal) {
    auto* rec = reinterpret_cast<Rec*>(handle);
    for (auto& candidate : records) {
        if (&candidate == rec) {
            return rec;
        }
    }
    throw HostException(kHErrBadParameter, refusal);
}

Menu* MenuOf(HMenu menu) {
    return RecordOf(S().menus.menus, menu, "Bad menu handle.");
}
MenuItem* ItemOf(HMenuItem item) {
    return RecordOf(S().menus.items, item, "Bad menu item handle.");
}

int g_menuBar;

HErrorCode GetMenuBar(HMenuBar* menuBar) {
    return Entry("GetMenuBar", [&] {
        CheckOut(menuBar);
        *menuBar = reinterpret_cast<HMenuBar>(&g_menuBar);
    });
}

HErrorCode AcquireMenu(HMenuBar menuBar, const char* menuName, HMenu* menu) {
    return Entry("AcquireMenu", [&] {
        CheckOut(menu);
        CheckOut(menuName);
        if (menuBar != reinterpret_cast<HMenuBar>(&g_menuBar)) {
            throw HostException(kHErrBadParameter, "Bad menu bar handle.");
        }
        MenuBar& bar = S().menus;
        if (bar.removed.count(menuName) == 0) {
            if (Menu* m = bar.Find(menuName)) {
                ++bar.acquired;
                *menu = reinterpret_cast<HMenu>(m);
                return;
            }
        }
        throw HostException(kHErrNotFound,
                            "The menu bar has no menu \"" + std::string(menuName) + "\".");
    });
}

HErrorCode NewMenuItem(const char* title, const char* itemName, HMenu, HBool, int32_t, int32_t,
                       void*, HExtensionID, HMenuItem* item) {
    return Entry("NewMenuItem", [&] {
        CheckOut(title);
        CheckOut(itemName);
        CheckOut(item);
        S().menus.items.push_back(MenuItem{title, itemName});
        *item = reinterpret_cast<HMenuItem>(&S().menus.items.back());
    });
}

HErrorCode SetMenuItemExecuteProc(HMenuItem item, HCallback proc, void* clientData) {
    return Entry("SetMenuItemExecuteProc", [&] {
        auto* i = ItemOf(item);
        i->execute = proc;
        i->executeData = clientData;
    });
}

HErrorCode SetMenuItemEnableProc(HMenuItem item, HCallback proc, void* clientData) {
    return Entry("SetMenuItemEnableProc", [&] {
        auto* i = ItemOf(item);
        i->enable = proc;
        i->enableData = clientData;
    });
}

HErrorCode AddMenuItem(HMenu menu, HMenuItem item, int32_t position) {
    return Entry("AddMenuItem", [&] {
        auto* m = MenuOf(menu);
        auto* i = ItemOf(item);
        size_t at = position < 0 ? m->items.size()
                                 : std::min(static_cast<size_t>(position), m->items.size());
        m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), i);
    });
}

HErrorCode ReleaseMenu(HMenu menu) {
    return Entry("ReleaseMenu", [&] {
        MenuOf(menu);
        MenuBar& bar = S().menus;
        if (bar.acquired > 0) {
            --bar.acquired;
        }
    });
}

} // namespace

void FillMenuFunctions(HostViewTable& t) {
    t.GetMenuBar = GetMenuBar;
    t.AcquireMenu = AcquireMenu;
    t.NewMenuItem = NewMenuItem;
    t.SetMenuItemExecuteProc = SetMenuItemExecuteProc;
    t.SetMenuItemEnableProc = SetMenuItemEnableProc;
    t.AddMenuItem = AddMenuItem;
    t.ReleaseMenu = ReleaseMenu;
}

void Host::AddMenu(const std::string& menuName) {
    MenuBar& bar = state_->menus;
    if (bar.Find(menuName) == nullptr) {
        bar.menus.push_back({menuName, {}});
    }
    bar.removed.erase(menuName);
}

void Host::RemoveMenu(const std::string& menuName) {
    state_->menus.removed.insert(menuName);
}

std::vector<MenuItemInfo> Host::MenuItems(const std::string& menuName) const {
    std::vector<MenuItemInfo> items;
    for (const auto& menu : state_->menus.menus) {
        if (menu.name == menuName) {
            for (const auto* item : menu.items) {
                items.push_back(
                    {item->title, item->name, item->execute != nullptr, item->enable != nullptr});
            }
        }
    }
    return items;
}

size_t Host::AcquiredMenuCount() const {
    return state_->menus.acquired;
}

bool Host::IsMenuItemEnabled(const std::string& itemName) const {
    auto* item = state_->menus.FindItem(itemName);
    if (item == nullptr) {
        return false;
    }
    if (item->enable == nullptr) {
        return true;
    }
    return reinterpret_cast<HMenuEnableProc>(item->enable)(item->enableData) != 0;
}

bool Host::ExecuteMenuItem(const std::string& itemName) {
    auto* item = state_->menus.FindItem(itemName);
    if (item == nullptr || item->execute == nullptr || !IsMenuItemEnabled(itemName)) {
        return false;
    }
    reinterpret_cast<HMenuProc>(item->execute)(item->executeData);
    return true;
}

} // namespace tesser::host
