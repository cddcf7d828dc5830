#include "app/program_parts.h"

#include "browser/file_item_store.h"

ZunAppParts MakeProgramParts()
{
    ZunAppParts parts;
    parts.initFileItemStore = [] { InitFileItemStore(); };
    parts.exitFileItemStore = [] { ExitFileItemStore(); };
    return parts;
}
