// The host's menus: the menu bar the plug-in adds its items to, kept in memory; the desktop
// host shows it, tests read it through Host. Internal to host/.
#pragma once

#include "hostapi/HostApi.h"

#include <cstddef>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace tesser::host {

struct MenuItem {
    std::string title;
    std::string name;
    HCallback execute = nullptr;
    void* executeData = nullptr;
    HCallback enable = nullptr;
    void* enableData = nullptr;
};

struct Menu {
    std::string name;
    std::vector<MenuItem*> items;
};

struct MenuBar {
    std::deque<MenuItem> items; // every item made; a deque keeps their addresses
    std::deque<Menu> menus;
    std::set<std::string> removed; // menus taken off the bar (AcquireMenu does not find them)
    size_t acquired = 0;           // AcquireMenu calls not yet matched by ReleaseMenu

    Menu* Find(const std::string& menuName);
    MenuItem* FindItem(const std::string& itemName);
};

// The menu functions of the "AcroView" table.
void FillMenuFunctions(HostViewTable& t);

} // namespace tesser::host
