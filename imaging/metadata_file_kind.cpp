#include "imaging/metadata_file_kind.h"

#include "app/path_util.h"

int GetMetadataFileKind(std::string_view path)
{
    if (IsJpegFile(path))
        return kMetadataJpeg;
    if (IsTiffFile(path))
        return kMetadataTiff;
    if (IsTkfFile(path))
        return kMetadataRaw;
    return kMetadataOther;
}
