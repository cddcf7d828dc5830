#include "imaging/metadata_file_kind.h"

#include "util/path_util.h"

int GetMetadataFileKind(std::string_view path)
{
    if (IsJpegFile(path))
        return kExifJpeg;
    if (IsTiffFile(path))
        return kExifTiff;
    if (IsTkfFile(path))
        return kExifRaw;
    return kExifUnsupported;
}
