// The running copy's answer to a window list, as a later start reads it,
// the bytes arriving in two pieces.
#include "platform/instance_protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

CInstanceReplyReader::State Read(CInstanceReplyReader& reader, const char* bytes, size_t size, size_t split)
{
    reader.Feed(bytes, split);
    return reader.Feed(bytes + split, size - split);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const size_t split = size ? data[0] % (size + 1) : 0;
    CInstanceReplyReader other(false);
    Read(other, bytes, size, split);
    if (!other.Windows().empty())
        std::abort();

    CInstanceReplyReader reader(true);
    if (Read(reader, bytes, size, split) != CInstanceReplyReader::Done)
        return 0;
    if (reader.Windows().size() > kInstanceMaxWindows)
        std::abort();
    // The windows that were read, listed again, read the same.
    std::string answer;
    for (const InstanceWindow& w : reader.Windows()) {
        std::string line = FormatInstanceWindowLine(w);
        if (line.size() > kInstanceMaxReplyLine)
            std::abort();
        InstanceWindow again;
        if (!ParseInstanceWindowLine(line, again))
            std::abort();
        if (w.title.size() <= kInstanceMaxTitle && w.className.size() <= kInstanceMaxClassName && !(again == w))
            std::abort();
        answer += line + "\n";
    }
    answer += "END\n";
    CInstanceReplyReader second(true);
    if (second.Feed(answer.data(), answer.size()) != CInstanceReplyReader::Done ||
        second.Windows().size() != reader.Windows().size())
        std::abort();
    return 0;
}
