#pragma once
// What the text control edits: UTF-8 text kept well-formed, the caret and the
// selection. Positions count characters (code points); the selection is kept
// as byte offsets into the text too, both forms always on character
// boundaries. Nothing here knows about glyphs or pixels.

#include <string>
#include <string_view>
#include <vector>

// The text with every byte that is not part of well-formed UTF-8 shown as
// U+FFFD, as the text control stores it; file names need not be UTF-8.
std::string utf8ForDisplay(std::string_view text);

class TextEditModel {
public:
    // A single-line model turns every line break it is given into a space.
    explicit TextEditModel(bool multiLine);

    // Replaces the text; the caret goes to its end and the selection is cleared.
    // Bytes that are not valid UTF-8 are stored as U+FFFD.
    void setText(std::string_view newText);
    const std::string& text() const { return value; }
    // One code point per character.
    const std::u32string& chars() const { return codePoints; }
    int charCount() const { return int(codePoints.size()); }
    // Byte offset in the text where character `index` starts (clamped to the text).
    int byteOffset(int index) const;

    int cursor() const { return caret; }
    // -1 while there is no selection; start is the anchor, end follows the caret.
    int selStart() const { return anchor; }
    int selEnd() const { return end; }
    int selStartByte() const { return anchor < 0 ? -1 : byteOffset(anchor); }
    int selEndByte() const { return end < 0 ? -1 : byteOffset(end); }
    bool hasSelection() const { return anchor >= 0 && end >= 0 && anchor != end; }
    // The selection was made by a double click.
    bool wordSelecting() const { return byWord; }
    std::string selectedText() const;

    // Moves the caret and drops the selection.
    void setCursor(int index);
    // Moves the caret and stretches the selection from its anchor (the old caret when there was none).
    void extendSelection(int index);
    // Selects [first, last) with the caret at `last`.
    void select(int first, int last);
    void selectWord(int first, int last);
    void selectAll() { select(0, charCount()); }
    void clearSelection();

    // Each returns whether the text changed; the caret ends behind the change.
    bool insert(std::string_view text);  // replaces the selection
    bool erase(int first, int last);     // characters [first, last)
    bool deleteSelection();

private:
    void reindex();

    std::string value;
    std::u32string codePoints;
    std::vector<int> charBytes{0};  // byte offset of every character, plus the end
    int caret = 0;
    int anchor = -1;
    int end = -1;
    bool byWord = false;
    bool multiLine;
};
