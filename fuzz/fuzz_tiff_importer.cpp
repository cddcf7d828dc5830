// The TIFF importer plug-in's reader, from untrusted files.
#include "fuzz/importer_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunImporter("fuzz_tiff_importer", data, size);
    return 0;
}
