#include "app/program_parts.h"

#include "browser/file_item_store.h"
#include "browser/zun_doc_template.h"

ZunAppParts MakeProgramParts()
{
    ZunAppParts parts;
    parts.makeBrowserTemplate = [] { return new CZunDocTemplate; };
    parts.initFileItemStore = [] { InitFileItemStore(); };
    parts.exitFileItemStore = [] { ExitFileItemStore(); };
    return parts;
}
