#pragma once
// Marks widgets that take text input. The engine remembers the focused one so
// a modal dialog can hand the keyboard back when it ends.

class IEditable {
public:
    virtual ~IEditable() = default;
};
