// Request lines that reach the single-instance server from another process,
// cut into lines as the server cuts them, the bytes arriving in two pieces.
#include "platform/instance_protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const size_t split = size ? data[0] % (size + 1) : 0;
    CInstanceLineBuffer lines(kInstanceMaxRequestLine);
    std::string line;
    for (int piece = 0; piece < 2; ++piece) {
        if (piece == 0)
            lines.Append(bytes, split);
        else
            lines.Append(bytes + split, size - split);
        while (lines.Next(line)) {
            if (line.size() > kInstanceMaxRequestLine || line.find('\n') != std::string::npos)
                std::abort();
            const InstanceRequest request = ParseInstanceRequest(line);
            if (request.kind == InstanceRequest::Invalid)
                continue;
            // What the server understood, a client writes the same way.
            const std::string again = FormatInstanceRequest(request);
            if (again.empty() || again.size() > kInstanceMaxRequestLine || !(ParseInstanceRequest(again) == request))
                std::abort();
        }
        // Only an unfinished line within the limit is kept.
        if (lines.Pending() > kInstanceMaxRequestLine)
            std::abort();
    }
    return 0;
}
