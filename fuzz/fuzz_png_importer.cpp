// The PNG importer plug-in's reader, from untrusted files.
#include "fuzz/importer_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunImporter("fuzz_png_importer", data, size);
    return 0;
}
