#pragma once

namespace velkar {

// What an update handler decides for a menu item or tool-bar button. Items
// start enabled and unchecked, as the frame hands them out.
struct CommandState {
    bool enabled = true;
    bool checked = false;
};

// One link of the command route (view, document, frame, application). The
// first target whose OnCommand returns true has handled the command.
class CCommandTarget {
public:
    virtual ~CCommandTarget() = default;
    // True when this target maps id (and has run its handler).
    virtual bool OnCommand(int id) = 0;
    // True when this target has an update handler for id; it then fills state.
    virtual bool OnUpdateCommand(int id, CommandState& state) {
        (void)id;
        (void)state;
        return false;
    }
};

}  // namespace velkar
