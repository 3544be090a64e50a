// TextEditModel: UTF-8 checking and indexing, caret and selection, edits.
//
// [SECTION] UTF-8
// [SECTION] Text and positions
// [SECTION] Caret and selection
// [SECTION] Edits

#include "gui/TextEditModel.h"

#include <algorithm>

namespace {

constexpr char32_t Replacement = 0xFFFD;

// [SECTION] UTF-8

// Length of the well-formed UTF-8 sequence at pos, or 0 when there is none
// (stray continuation byte, overlong form, surrogate, truncated sequence).
size_t sequenceLength(std::string_view s, size_t pos)
{
    const unsigned char b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80)
        return 1;
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0)
            lo = 0xA0;
        if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (pos + len > s.size())
        return 0;
    const unsigned char b1 = static_cast<unsigned char>(s[pos + 1]);
    if (b1 < lo || b1 > hi)
        return 0;
    for (size_t i = 2; i < len; ++i)
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80)
            return 0;
    return len;
}

char32_t decodeSequence(std::string_view s, size_t pos, size_t len)
{
    const unsigned char b0 = static_cast<unsigned char>(s[pos]);
    if (len == 1)
        return b0;
    char32_t cp = b0 & (0xFF >> (len + 1));
    for (size_t i = 1; i < len; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Every byte of the text must belong to exactly one character, or inserting
// next to a stray byte could fuse two characters and shift every index after it.
std::string sanitizeUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        const size_t len = sequenceLength(s, pos);
        if (len == 0) {
            appendUtf8(out, Replacement);
            ++pos;
        } else {
            out.append(s.substr(pos, len));
            pos += len;
        }
    }
    return out;
}

int countChars(std::string_view s)
{
    int n = 0;
    for (size_t pos = 0; pos < s.size(); ++n)
        pos += std::max<size_t>(1, sequenceLength(s, pos));
    return n;
}

} // namespace

std::string utf8ForDisplay(std::string_view text)
{
    return sanitizeUtf8(text);
}

// [SECTION] Text and positions

TextEditModel::TextEditModel(bool multiLine_) : multiLine(multiLine_) {}

void TextEditModel::setText(std::string_view newText)
{
    value = sanitizeUtf8(newText);
    reindex();
    clearSelection();
    caret = charCount();
}

void TextEditModel::reindex()
{
    charBytes.clear();
    codePoints.clear();
    for (size_t pos = 0; pos < value.size();) {
        const size_t len = sequenceLength(value, pos);
        charBytes.push_back(int(pos));
        codePoints.push_back(len ? decodeSequence(value, pos, len) : Replacement);
        pos += std::max<size_t>(len, 1);
    }
    charBytes.push_back(int(value.size()));
}

int TextEditModel::byteOffset(int index) const
{
    return charBytes[size_t(std::clamp(index, 0, charCount()))];
}

std::string TextEditModel::selectedText() const
{
    if (anchor < 0 || end < 0)
        return std::string();
    const int lo = byteOffset(std::min(anchor, end));
    const int hi = byteOffset(std::max(anchor, end));
    return value.substr(size_t(lo), size_t(hi - lo));
}

// [SECTION] Caret and selection

void TextEditModel::setCursor(int index)
{
    caret = std::clamp(index, 0, charCount());
    clearSelection();
}

void TextEditModel::extendSelection(int index)
{
    const int from = anchor >= 0 ? anchor : caret;
    caret = std::clamp(index, 0, charCount());
    anchor = std::clamp(from, 0, charCount());
    end = caret;
}

void TextEditModel::select(int first, int last)
{
    anchor = std::clamp(first, 0, charCount());
    caret = end = std::clamp(last, 0, charCount());
    byWord = false;
}

void TextEditModel::selectWord(int first, int last)
{
    select(first, last);
    byWord = true;
}

void TextEditModel::clearSelection()
{
    anchor = end = -1;
    byWord = false;
}

// [SECTION] Edits

bool TextEditModel::erase(int first, int last)
{
    first = std::clamp(first, 0, charCount());
    last = std::clamp(last, first, charCount());
    clearSelection();
    if (first == last)
        return false;
    value.erase(size_t(byteOffset(first)), size_t(byteOffset(last) - byteOffset(first)));
    caret = first;
    reindex();
    return true;
}

bool TextEditModel::deleteSelection()
{
    if (!hasSelection()) {
        clearSelection();
        return false;
    }
    return erase(std::min(anchor, end), std::max(anchor, end));
}

bool TextEditModel::insert(std::string_view text)
{
    std::string clean = sanitizeUtf8(text);
    if (!multiLine)
        std::replace_if(clean.begin(), clean.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    bool changed = deleteSelection();
    if (!clean.empty()) {
        value.insert(size_t(byteOffset(caret)), clean);
        caret += countChars(clean);
        reindex();
        changed = true;
    }
    clearSelection();
    return changed;
}
