// libFuzzer target for our strptime and the GPX time rule. The input is a
// format, a NUL, then the text; without a NUL the whole input is a GPX time.

#include "track/GpxReader.h"
#include "track/Strptime.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\0');
    if (split == std::string::npos) {
        readGpxTime(input);
        return 0;
    }
    std::string format = input.substr(0, split);
    std::string text = input.substr(split + 1);
    std::tm tm {};
    const char* end = pathlark::strptime(text.c_str(), format.c_str(), &tm);
    // The result must point into the text, at or before its terminator.
    if (end && (end < text.c_str() || end > text.c_str() + text.size()))
        __builtin_trap();
    readGpxTime(text);
    return 0;
}
