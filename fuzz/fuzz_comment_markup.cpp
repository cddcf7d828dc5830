// Annotation text files from untrusted bytes: the tag scan, attributes and
// positions, with links resolved against a card folder that does not exist.
#include "message/ano_markup.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CAnoMarkup markup;
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)markup.Parse("/nonexistent/ROOT/ANN0001/ANN0001.TXT", text);
    return 0;
}
