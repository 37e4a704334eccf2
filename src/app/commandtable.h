#pragma once

#include <vector>

#include <QKeySequence>
#include <QString>

namespace velkar {

// One command as the menus, the tool bar and the status bar present it.
struct CommandInfo {
    int id;
    QString menuText;  // "&" marks the mnemonic; "\t" precedes the shown accelerator
    QString prompt;    // status-bar prompt, then "\n" and the tool tip (either may be absent)
    QString icon;      // tool-bar artwork resource, empty when not on the tool bar

    QString StatusTip() const { return prompt.section(QLatin1Char('\n'), 0, 0); }
    QString ToolTip() const { return prompt.contains(QLatin1Char('\n')) ? prompt.section(QLatin1Char('\n'), 1) : QString(); }
};

// A top-level menu: its title and its items in order; id 0 is a separator.
struct MenuInfo {
    QString title;
    std::vector<int> items;
};

// A key that reaches a command.
struct AcceleratorInfo {
    QKeySequence key;
    int id;
};

// The fixed command table of the main window.
class CCommandTable {
public:
    static const std::vector<CommandInfo>& Commands();
    // nullptr when id is not in the table.
    static const CommandInfo* Find(int id);
    static const std::vector<MenuInfo>& Menus();
    // Tool-bar buttons, left to right.
    static const std::vector<int>& ToolBar();
    static const std::vector<AcceleratorInfo>& Accelerators();
};

}  // namespace velkar
